#include "tests/e2e/harness.h"
#include <cstdio>
static void Probe() {
    SetPhotoshopVersions({{L"9.0", L"x"}, {L"10.0", L"x"}, {L"8.0", L"x"}, {L"CS6", L"x"}, {L"bad", L"x"}, {L"Alpha", L"x"}, {L"a0", L"x"}, {L"_z", L"x"}, {L"Z1", L"x"}, {L"7.0", L"x"}});
    HKEY root;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Adobe\\Photoshop", 0, KEY_READ, &root);
    wchar_t name[64];
    for (DWORD i = 0;; ++i) { DWORD n = 64; if (RegEnumKeyExW(root, i, name, &n, 0,0,0,0)) break; printf("key %s\n", Utf8(name).c_str()); }
    RegCloseKey(root);
    TempDir dir;
    for (const wchar_t* n : {L"Filters", L"Effects", L"Import-Export", L"b", L"A", L"_x", L"zz", L"filters2", L"Mm", L"增效"}) MakeDirs(dir / n);
    WIN32_FIND_DATAW f; HANDLE h = FindFirstFileW((dir.path + L"\\\\*").c_str(), &f);
    printf("h %p\n", h);
    if (h != INVALID_HANDLE_VALUE) { do printf("file %s\n", Utf8(f.cFileName).c_str()); while (FindNextFileW(h, &f)); FindClose(h); }
    printf("temp %s\n", Utf8(dir.path).c_str());
    fflush(stdout);
}
void RunFoldersTests() { Scenario("probe", Probe); }

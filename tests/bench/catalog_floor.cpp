// The catalog baseline: the profile and version reads the catalog reader makes
// for each entry of Corvane.ini beside this program, in a plain loop. Exits
// with the number of entries that had a version. With "/open", the least any
// reader must do instead: open, read and close P00001.8bf to P<Count>.8bf.
#include <windows.h>

#include <cstdio>

static bool ReadVersion(const wchar_t* path, wchar_t* text) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (!size) return false;
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    bool found = false;
    void* value = nullptr;
    UINT length = 0;
    if (block && GetFileVersionInfoW(path, handle, size, block) &&
        VerQueryValueW(block, L"\\VarFileInfo\\Translation", &value, &length) && value && length >= 4) {
        const WORD* pair = static_cast<const WORD*>(value);
        wchar_t name[64];
        swprintf(name, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", pair[0], pair[1]);
        if (VerQueryValueW(block, name, &value, &length) && value) {
            lstrcpynW(text, static_cast<const wchar_t*>(value), 128);
            found = true;
        }
    }
    HeapFree(GetProcessHeap(), 0, block);
    return found;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    wchar_t dir[MAX_PATH], ini[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, dir, MAX_PATH);
    while (length && dir[length - 1] != L'\\') --length;
    dir[length] = 0;
    swprintf(ini, MAX_PATH, L"%lsCorvane.ini", dir);
    const long count = static_cast<long>(GetPrivateProfileIntW(L"PlugInInfo", L"Count", 0, ini));
    if (wcsstr(commandLine, L"/open")) {
        static char head[16384];
        int opened = 0;
        for (long n = 1; n <= count; ++n) {
            wchar_t path[MAX_PATH];
            swprintf(path, MAX_PATH, L"%lsP%05ld.8bf", dir, n);
            HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            DWORD read;
            if (file == INVALID_HANDLE_VALUE) continue;
            opened += ReadFile(file, head, sizeof head, &read, nullptr);
            CloseHandle(file);
        }
        return opened;
    }
    const wchar_t* const keys[] = {L"Name", L"SrcFile", L"SubDir1", L"SubDir2", L"Description"};
    int versions = 0;
    for (long n = 1; n <= count; ++n) {
        wchar_t key[32], section[128], value[256], path[MAX_PATH], version[128];
        swprintf(key, 32, L"PlugIn%ld", n);
        GetPrivateProfileStringW(L"PlugInInfo", key, L"", section, 128, ini);
        wchar_t srcFile[64] = L"";
        for (const wchar_t* field : keys) {
            GetPrivateProfileStringW(section, field, L"", value, 256, ini);
            if (field == keys[1]) lstrcpynW(srcFile, value, 64);
        }
        swprintf(path, MAX_PATH, L"%ls%ls", dir, srcFile);
        if (ReadVersion(path, version)) ++versions;
    }
    return versions;
}

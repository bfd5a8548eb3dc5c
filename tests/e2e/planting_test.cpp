// DLL planting: DLLs saved beside the program (a download folder) must not be
// loaded by it, nor by the system DLLs on its behalf.
//
// Wine prefers its built-in DLLs and would hide the hole; the names planted
// are those WINEDLLOVERRIDES marks native-first ("=n,b"), which makes Wine
// search for them as Windows searches for a DLL that is not a Known DLL: the
// program's folder first. The override must be set in the Unix environment
// that starts this driver (a child does not see one set from Win32).
#include <cwchar>

#include "tests/e2e/harness.h"

namespace {

const std::wstring kCatalog = CatalogOf({{L"锐化", L"CorvaneSharpen.8bf", std::nullopt, L"Filters"}});

// The DLL names the override makes native-first.
std::vector<std::wstring> NativeFirstNames() {
    wchar_t value[4096];
    DWORD length = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", value, 4096);
    if (length == 0 || length >= 4096) return {};
    std::vector<std::wstring> names;
    std::wstring overrides(value, length);
    for (size_t start = 0; start <= overrides.size();) {
        size_t end = overrides.find(L';', start);
        if (end == std::wstring::npos) end = overrides.size();
        const std::wstring entry = overrides.substr(start, end - start);
        const size_t equals = entry.find(L'=');
        if (equals != std::wstring::npos && entry.substr(equals + 1) == L"n,b")
            for (size_t from = 0; from < equals;) {
                size_t comma = entry.find(L',', from);
                if (comma == std::wstring::npos || comma > equals) comma = equals;
                if (comma > from) names.push_back(entry.substr(from, comma - from));
                from = comma + 1;
            }
        start = end + 1;
    }
    return names;
}

// The markers the planted DLLs left, by DLL name.
std::wstring LoadedPlants(const std::wstring& folder) {
    std::wstring loaded;
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW((folder + L"\\*.loaded").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) return loaded;
    do loaded += (loaded.empty() ? L"" : L" ") + std::wstring(found.cFileName, wcslen(found.cFileName) - 7);
    while (FindNextFileW(listing, &found));
    FindClose(listing);
    return loaded;
}

// A start with folder discovery, sub-folder list and auto-completion, an
// install over an existing file (version read, question, copy), the folder
// picker opened and closed, Start Photoshop, and Exit.
void StartInstallExit() {
    const std::vector<std::wstring> names = NativeFirstNames();
    if (names.size() < 10) throw TestFailure("WINEDLLOVERRIDES marks too few DLLs native-first (\"NAME,...=n,b\")");
    Fixture dir(kCatalog, {L"CorvaneSharpen.8bf"});
    for (const std::wstring& name : names) CopyInput(L"planted.dll", dir / (name + L".dll"));
    // Without this, a Wine that ignored the overrides would pass the check below.
    CopyInput(L"plant_control.exe", dir / L"plant_control.exe");
    {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        std::wstring commandLine = L"plant_control.exe " + names[0] + L".dll";
        if (!CreateProcessW((dir / L"plant_control.exe").c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            dir.path.c_str(), &startup, &process))
            throw TestFailure("cannot start plant_control.exe");
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        CHECK_TEXT(LoadedPlants(dir.path), names[0] + L".dll");
        DeleteFileW((dir / (names[0] + L".dll.loaded")).c_str());
    }
    const std::wstring plugIns = dir.Editor();
    MakeDirs(plugIns + L"\\Filters");
    CopyInput(L"CorvaneSharpen.8bf", plugIns + L"\\Filters\\CorvaneSharpen.8bf");
    CopyInput(L"Photoshop.exe", dir / L"PS\\Photoshop.exe");
    try {
        SetupRun run(dir.exe);
        CHECK_TEXT(run.Text(IDC_SUB_DIR), L"Filters");
        run.Click(IDC_INSTALL);
        run.Answer(run.WaitBox(), IDYES);
        CHECK_TEXT(run.WaitBox().caption, L"安装 Photoshop 插件成功");
        run.Answer(run.WaitBox(), IDOK);
        run.Click(IDC_BROWSE);
        HWND picker = run.WaitOwnedWindow();
        run.PressKey(VK_ESCAPE);
        for (int i = 0; i < 250 && IsWindow(picker); ++i) Sleep(20);
        // The editor is started through the desktop shell's COM objects.
        run.Click(IDC_LAUNCH);
        run.Answer(run.WaitBox(), IDOK);
        CHECK(WaitForFile(dir / L"PS\\launch-record.txt", 5000));
        run.Exit();
    } catch (const TestFailure& failure) {
        Fail(__FILE__, __LINE__, failure.what());  // a plant that broke the start still counts below
    }
    CHECK_TEXT(LoadedPlants(dir.path), L"");
}

}  // namespace

void RunPlantingTests() {
    Scenario("planted DLLs beside the program: none loaded during start, install, folder picker, launch and exit",
             StartInstallExit);
}

// Windows looks for a DLL that is not a Known DLL in the program's folder
// first, and this program runs elevated from wherever it was saved, often a
// download folder beside anything a web page put there. So it imports only
// Known DLLs (kernel32, user32, gdi32, advapi32, msvcrt) and loads the others
// here by name from the system folder, after the search for every later DLL,
// those that system DLLs load for it included, has been limited to that
// folder. The definitions below stand in for the imports under the same
// names: the build declares these functions without dllimport, and the rest
// of the program calls them as usual.
#include "common/system_libraries.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include "common/wide_text.h"

namespace {

enum Library { kComctl32, kShell32, kShlwapi, kOle32, kOleaut32, kLibraryCount };
const wchar_t* const kLibraryNames[kLibraryCount] = {L"comctl32.dll", L"shell32.dll", L"shlwapi.dll", L"ole32.dll",
                                                     L"oleaut32.dll"};

struct Functions {
    decltype(&InitCommonControlsEx) initCommonControlsEx;
    decltype(&SHAutoComplete) autoComplete;
    decltype(&CoInitialize) coInitialize;
    decltype(&CoUninitialize) coUninitialize;
    decltype(&CoCreateInstance) coCreateInstance;
    decltype(&CoTaskMemFree) coTaskMemFree;
    decltype(&SHCreateItemFromParsingName) createItem;
    decltype(&SysAllocString) sysAllocString;
    decltype(&SysFreeString) sysFreeString;
} g_functions;

template <typename Function>
void Find(HMODULE module, const char* name, Function* out) {
    FARPROC found = module ? GetProcAddress(module, name) : nullptr;
    *out = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

// SetDefaultDllDirectories exists from Windows 8, and on Windows 7 with its
// security update; without it, at least the current folder is taken out.
bool RestrictDllSearch() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    SetDefaultDllDirectoriesFunction setDefault = nullptr;
    Find(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories", &setDefault);
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    SetDllDirectoryW(L"");
    return false;
}

HMODULE LoadFromSystemFolder(Library library, bool restricted) {
    const wchar_t* name = kLibraryNames[library];
    // By name, so that the manifest's activation context still binds
    // comctl32 version 6: that redirection comes before any folder.
    if (restricted) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == kComctl32) return LoadLibraryW(name);
    // Without the search flags: the full path, and the DLL's own imports
    // looked for in the system folder first.
    wchar_t path[kPathSize];
    UINT length = GetSystemDirectoryW(path, kPathSize);
    if (length == 0 || length >= kPathSize || !WideAppend(path, kPathSize, L"\\") ||
        !WideAppend(path, kPathSize, name))
        return nullptr;
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool g_restricted;

// shell32 is large and serves only the folder picker: it
// is loaded at the first click that needs it.
HMODULE Shell32() {
    static bool tried = false;
    static HMODULE module = nullptr;
    if (!tried) {
        tried = true;
        module = LoadFromSystemFolder(kShell32, g_restricted);
    }
    return module;
}

}  // namespace

void LoadSystemLibraries() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    g_restricted = RestrictDllSearch();
    HMODULE modules[kLibraryCount] = {};
    // shell32 is large and only serves the folder picker,
    // and oleaut32 only starts programs through the shell: they wait until
    // they are needed.
    for (int i = 0; i < kLibraryCount; ++i)
        if (i != kShell32 && i != kOleaut32) modules[i] = LoadFromSystemFolder(static_cast<Library>(i), g_restricted);
    Functions& f = g_functions;
    Find(modules[kComctl32], "InitCommonControlsEx", &f.initCommonControlsEx);
    Find(modules[kShlwapi], "SHAutoComplete", &f.autoComplete);
    Find(modules[kOle32], "CoInitialize", &f.coInitialize);
    Find(modules[kOle32], "CoUninitialize", &f.coUninitialize);
    Find(modules[kOle32], "CoCreateInstance", &f.coCreateInstance);
    Find(modules[kOle32], "CoTaskMemFree", &f.coTaskMemFree);
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    return g_functions.initCommonControlsEx && g_functions.initCommonControlsEx(controls);
}

HRESULT WINAPI CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID interfaceId, LPVOID* object) {
    *object = nullptr;
    return g_functions.coCreateInstance ? g_functions.coCreateInstance(classId, outer, context, interfaceId, object)
                                        : E_FAIL;
}

namespace {

void LoadOleAutomation() {
    static bool tried = false;
    if (tried) return;
    tried = true;
    HMODULE module = LoadFromSystemFolder(kOleaut32, g_restricted);
    Find(module, "SysAllocString", &g_functions.sysAllocString);
    Find(module, "SysFreeString", &g_functions.sysFreeString);
}

}  // namespace

BSTR WINAPI SysAllocString(const OLECHAR* text) {
    LoadOleAutomation();
    return g_functions.sysAllocString ? g_functions.sysAllocString(text) : nullptr;
}

void WINAPI SysFreeString(BSTR text) {
    LoadOleAutomation();
    if (g_functions.sysFreeString) g_functions.sysFreeString(text);
}

HRESULT WINAPI SHAutoComplete(HWND edit, DWORD flags) {
    return g_functions.autoComplete ? g_functions.autoComplete(edit, flags) : E_FAIL;
}

HRESULT WINAPI CoInitialize(LPVOID reserved) {
    return g_functions.coInitialize ? g_functions.coInitialize(reserved) : E_FAIL;
}

void WINAPI CoUninitialize() {
    if (g_functions.coUninitialize) g_functions.coUninitialize();
}

void WINAPI CoTaskMemFree(LPVOID block) {
    if (g_functions.coTaskMemFree) g_functions.coTaskMemFree(block);
}

HRESULT WINAPI SHCreateItemFromParsingName(PCWSTR path, IBindCtx* context, REFIID interfaceId, void** item) {
    static bool tried = false;
    if (!tried) {
        tried = true;
        Find(Shell32(), "SHCreateItemFromParsingName", &g_functions.createItem);
    }
    if (g_functions.createItem) return g_functions.createItem(path, context, interfaceId, item);
    *item = nullptr;
    return E_FAIL;
}

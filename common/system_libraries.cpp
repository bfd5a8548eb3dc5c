// Windows looks for a DLL that is not a Known DLL in the program's folder
// first, and this program runs elevated from wherever it was saved, often a
// download folder beside anything a web page put there. So it imports only
// Known DLLs (kernel32, user32, gdi32, advapi32, msvcrt) and loads the others
// by name from the system folder, after the search for every later DLL,
// those that system DLLs load for it included, has been limited to that
// folder. Each DLL is loaded when one of its functions is first called, so
// that the start pays only for what the first picture of the dialog needs.
#include "common/system_libraries.h"

#include <oleauto.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include "common/wide_text.h"

namespace {

enum Library { kKernel32, kNtdll, kComctl32, kShell32, kShlwapi, kOle32, kOleaut32, kLibraryCount };
const wchar_t* const kLibraryNames[kLibraryCount] = {L"kernel32.dll", L"ntdll.dll",   L"comctl32.dll", L"shell32.dll",
                                                     L"shlwapi.dll",  L"ole32.dll",   L"oleaut32.dll"};

enum Function {
    kSetDefaultDllDirectories,
    kNtCreateFile,
    kNtSetInformationFile,
    kNtQueryInformationFile,
    kRtlNtStatusToDosError,
    kInitCommonControlsEx,
    kSHCreateItemFromParsingName,
    kSHAutoComplete,
    kCoInitialize,
    kCoUninitialize,
    kCoCreateInstance,
    kCoTaskMemFree,
    kSysAllocString,
    kSysFreeString,
    kFunctionCount
};
const struct {
    Library library;
    const char* name;
} kFunctions[kFunctionCount] = {
    {kKernel32, "SetDefaultDllDirectories"},
    {kNtdll, "NtCreateFile"},
    {kNtdll, "NtSetInformationFile"},
    {kNtdll, "NtQueryInformationFile"},
    {kNtdll, "RtlNtStatusToDosError"},
    {kComctl32, "InitCommonControlsEx"},
    {kShell32, "SHCreateItemFromParsingName"},
    {kShlwapi, "SHAutoComplete"},
    {kOle32, "CoInitialize"},
    {kOle32, "CoUninitialize"},
    {kOle32, "CoCreateInstance"},
    {kOle32, "CoTaskMemFree"},
    {kOleaut32, "SysAllocString"},
    {kOleaut32, "SysFreeString"},
};

enum class Search { kNotSet, kSystemFolder, kCurrentFolderRemoved };
Search g_search = Search::kNotSet;

HMODULE LoadFromSystemFolder(Library library) {
    const wchar_t* name = kLibraryNames[library];
    // kernel32 and ntdll are in every process from its start, from the system
    // folder; kernel32 is where the search is set.
    if (library == kKernel32 || library == kNtdll) return GetModuleHandleW(name);
    RestrictLibrarySearch();
    // By name, so that the manifest's activation context still binds
    // comctl32 version 6: that redirection comes before any folder.
    if (g_search == Search::kSystemFolder) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
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

// The one way to a run-time function: its DLL loaded at the first need, the
// function looked up once; null when either is missing.
FARPROC Find(Function function) {
    static HMODULE modules[kLibraryCount];
    static bool loaded[kLibraryCount];
    static FARPROC found[kFunctionCount];
    static bool looked[kFunctionCount];
    if (!looked[function]) {
        looked[function] = true;
        const Library library = kFunctions[function].library;
        if (!loaded[library]) {
            loaded[library] = true;
            modules[library] = LoadFromSystemFolder(library);
        }
        if (modules[library]) found[function] = GetProcAddress(modules[library], kFunctions[function].name);
    }
    return found[function];
}

template <typename Pointer>
Pointer Resolve(Function function) {
    return reinterpret_cast<Pointer>(reinterpret_cast<void*>(Find(function)));
}

}  // namespace

// SetDefaultDllDirectories exists from Windows 8, and on Windows 7 with its
// security update; without it, at least the current folder is taken out.
bool RestrictLibrarySearch() {
    if (g_search == Search::kNotSet) {
        g_search = Search::kCurrentFolderRemoved;
        auto setDefault = Resolve<BOOL(WINAPI*)(DWORD)>(kSetDefaultDllDirectories);
        if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
            g_search = Search::kSystemFolder;
        else
            SetDllDirectoryW(L"");
    }
    return g_search == Search::kSystemFolder;
}

namespace sysdll {

NTSTATUS NtCreateFile(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes, IO_STATUS_BLOCK* status,
                      LARGE_INTEGER* allocation, ULONG attributeFlags, ULONG share, ULONG disposition, ULONG options,
                      void* extended, ULONG extendedLength) {
    auto call = Resolve<decltype(&::NtCreateFile)>(kNtCreateFile);
    return call ? call(file, access, attributes, status, allocation, attributeFlags, share, disposition, options,
                       extended, extendedLength)
                : kProcedureNotFound;
}

NTSTATUS NtSetInformationFile(HANDLE file, IO_STATUS_BLOCK* status, void* information, ULONG length,
                              FILE_INFORMATION_CLASS kind) {
    auto call = Resolve<decltype(&::NtSetInformationFile)>(kNtSetInformationFile);
    return call ? call(file, status, information, length, kind) : kProcedureNotFound;
}

NTSTATUS NtQueryInformationFile(HANDLE file, IO_STATUS_BLOCK* status, void* information, ULONG length,
                                FILE_INFORMATION_CLASS kind) {
    auto call = Resolve<decltype(&::NtQueryInformationFile)>(kNtQueryInformationFile);
    return call ? call(file, status, information, length, kind) : kProcedureNotFound;
}

ULONG RtlNtStatusToDosError(NTSTATUS status) {
    auto call = Resolve<decltype(&::RtlNtStatusToDosError)>(kRtlNtStatusToDosError);
    return call ? call(status) : ERROR_PROC_NOT_FOUND;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    auto call = Resolve<decltype(&::InitCommonControlsEx)>(kInitCommonControlsEx);
    return call && call(controls);
}

HRESULT SHCreateItemFromParsingName(const wchar_t* path, IBindCtx* context, REFIID interfaceId, void** item) {
    auto call = Resolve<decltype(&::SHCreateItemFromParsingName)>(kSHCreateItemFromParsingName);
    if (call) return call(path, context, interfaceId, item);
    *item = nullptr;
    return E_FAIL;
}

HRESULT SHAutoComplete(HWND edit, DWORD flags) {
    auto call = Resolve<decltype(&::SHAutoComplete)>(kSHAutoComplete);
    return call ? call(edit, flags) : E_FAIL;
}

HRESULT CoInitialize(void* reserved) {
    auto call = Resolve<decltype(&::CoInitialize)>(kCoInitialize);
    return call ? call(reserved) : E_FAIL;
}

void CoUninitialize() {
    if (auto call = Resolve<decltype(&::CoUninitialize)>(kCoUninitialize)) call();
}

HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID interfaceId, void** object) {
    *object = nullptr;
    auto call = Resolve<decltype(&::CoCreateInstance)>(kCoCreateInstance);
    return call ? call(classId, outer, context, interfaceId, object) : E_FAIL;
}

void CoTaskMemFree(void* block) {
    if (auto call = Resolve<decltype(&::CoTaskMemFree)>(kCoTaskMemFree)) call(block);
}

BSTR SysAllocString(const OLECHAR* text) {
    auto call = Resolve<decltype(&::SysAllocString)>(kSysAllocString);
    return call ? call(text) : nullptr;
}

void SysFreeString(BSTR text) {
    if (auto call = Resolve<decltype(&::SysFreeString)>(kSysFreeString)) call(text);
}

}  // namespace sysdll

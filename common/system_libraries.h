// The functions of system DLLs that the program does not import but loads at
// run time from the system folder. They carry the system's own signatures and
// results, and are called through this namespace so that a reader sees at the
// call site that the function is found at run time: when its DLL or the
// function itself is missing, the call reports failure as the comment says.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <winternl.h>

// Limits where every later DLL is searched for to the system folder. Called
// first at start, before anything loads a DLL on the program's behalf. True
// when the system honours the limit (Windows 8, or 7 with its update); false
// when only the current folder could be taken out of the search.
bool RestrictLibrarySearch();

namespace sysdll {

// STATUS_PROCEDURE_NOT_FOUND, what the ntdll calls give when missing.
constexpr NTSTATUS kProcedureNotFound = static_cast<NTSTATUS>(0xC000007A);
// ntdll: opening and renaming relative to a folder's handle, and a file's index.
NTSTATUS NtCreateFile(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes, IO_STATUS_BLOCK* status,
                      LARGE_INTEGER* allocation, ULONG attributeFlags, ULONG share, ULONG disposition, ULONG options,
                      void* extended, ULONG extendedLength);
NTSTATUS NtSetInformationFile(HANDLE file, IO_STATUS_BLOCK* status, void* information, ULONG length,
                              FILE_INFORMATION_CLASS kind);
NTSTATUS NtQueryInformationFile(HANDLE file, IO_STATUS_BLOCK* status, void* information, ULONG length,
                                FILE_INFORMATION_CLASS kind);
ULONG RtlNtStatusToDosError(NTSTATUS status);

// comctl32; false when missing.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
// shell32; E_FAIL and a null item when missing.
HRESULT SHCreateItemFromParsingName(const wchar_t* path, IBindCtx* context, REFIID interfaceId, void** item);
// shlwapi; E_FAIL when missing.
HRESULT SHAutoComplete(HWND edit, DWORD flags);
// ole32; E_FAIL (and a null object) when missing, CoUninitialize and
// CoTaskMemFree then doing nothing.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID interfaceId, void** object);
void CoTaskMemFree(void* block);
// oleaut32; null when missing, SysFreeString then doing nothing.
BSTR SysAllocString(const OLECHAR* text);
void SysFreeString(BSTR text);

}  // namespace sysdll

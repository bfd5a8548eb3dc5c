#include "install/destination.h"

#include <winternl.h>

#include "common/system_libraries.h"
#include "install/install_logic.h"

namespace {

constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

// Opens `name` (`length` characters, no separator) in the folder open as
// `folder`, a link itself rather than what it points to.
bool OpenIn(HANDLE folder, const wchar_t* name, size_t length, ACCESS_MASK access, ULONG share,
            ULONG disposition, ULONG options, HANDLE* out, DWORD* code) {
    *out = INVALID_HANDLE_VALUE;
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name);
    text.Length = static_cast<USHORT>(length * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status;
    HANDLE handle = nullptr;
    const NTSTATUS result =
        sysdll::NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                             disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
    if (result < 0) {
        *code = result == kNameCollision ? ERROR_FILE_EXISTS : sysdll::RtlNtStatusToDosError(result);
        return false;
    }
    *out = handle;
    *code = 0;
    return true;
}

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}

// Whether the file open as `file` is `name` itself in the folder whose final
// path is `folderFinal`: not a link (which Windows reports as a reparse point
// when opened as itself, and Wine follows, so that its final path lies
// elsewhere or carries another name).
bool IsItselfIn(HANDLE file, const wchar_t* folderFinal, const wchar_t* name, size_t length, DWORD* code) {
    BY_HANDLE_FILE_INFORMATION info;
    wchar_t final[kFinalPathSize];
    if (!GetFileInformationByHandle(file, &info) || !GetHandleFinalPath(file, final, kFinalPathSize)) {
        *code = GetLastError() ? GetLastError() : ERROR_INVALID_NAME;
        return false;
    }
    *code = ERROR_INVALID_NAME;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
    const size_t folderLength = WideLength(folderFinal);
    if (!folderLength || WideLength(final) <= folderLength) return false;
    for (size_t i = 0; i < folderLength; ++i)
        if (final[i] != folderFinal[i]) return false;
    // A root's final path ends in its own backslash.
    const wchar_t* last = final + folderLength + (folderFinal[folderLength - 1] == L'\\' ? 0 : 1);
    if (last[-1] != L'\\' || length > 0x7fffffff ||
        CompareStringOrdinal(last, -1, name, static_cast<int>(length), TRUE) != CSTR_EQUAL)
        return false;
    *code = 0;
    return true;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Opens, below the folder open as `*folder` (final path `final`), each folder
// part of `relative` up to `end` in turn, each checked to be that folder
// itself: no link, no "..", no stream. `*folder` and `final` follow each step.
bool OpenFolderParts(HANDLE* folder, wchar_t* final, const wchar_t* relative, const wchar_t* end, DWORD* code) {
    for (const wchar_t* part = relative; part < end;) {
        while (part < end && IsSeparator(*part)) ++part;
        size_t length = 0;
        while (part + length < end && !IsSeparator(part[length])) ++length;
        if (!length) break;
        const bool dot = length == 1 && part[0] == L'.';
        *code = ERROR_INVALID_NAME;
        if (length == 2 && part[0] == L'.' && part[1] == L'.') return false;
        for (size_t i = 0; i < length; ++i)
            if (part[i] == L':') return false;
        if (!dot) {
            HANDLE next;
            if (!OpenIn(*folder, part, length, kFolderAccess, kShareAll, FILE_OPEN,
                        FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, &next, code)) {
                if (*code == ERROR_FILE_NOT_FOUND || *code == ERROR_DIRECTORY) *code = ERROR_PATH_NOT_FOUND;
                return false;
            }
            bool itself = IsItselfIn(next, final, part, length, code);
            if (itself && !GetHandleFinalPath(next, final, kFinalPathSize)) {
                itself = false;
                *code = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
            }
            CloseHandle(*folder);
            *folder = next;
            if (!itself) return false;
        }
        part += length;
    }
    return true;
}

// Opens the plug-in folder the user chose: above it the user's choice, it
// itself no link.
bool OpenPlugInFolder(const wchar_t* text, HANDLE* folder, wchar_t* final, DWORD* code) {
    wchar_t full[kPathSize], parentFinal[kFinalPathSize];
    wchar_t* name = nullptr;
    const DWORD length = GetFullPathNameW(text, kPathSize, full, nullptr);
    if (!length || length >= kPathSize) {
        *code = length ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        return false;
    }
    if (!IsPathRoot(full)) {
        RemoveTrailingBackslash(full);
        for (wchar_t* c = full; *c; ++c)
            if (IsSeparator(*c)) name = c;
        wchar_t parent[kPathSize];
        // "C:\Plug-Ins" lies in "C:\", not "C:".
        if (!name || !WideCopyCount(parent, kPathSize, full, static_cast<size_t>(name - full) + 1)) {
            *code = ERROR_PATH_NOT_FOUND;
            return false;
        }
        ++name;
        if (!GetFolderFinalPath(parent, parentFinal, kFinalPathSize)) {
            *code = GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : GetLastError();
            return false;
        }
    }
    *folder = CreateFileW(full, kFolderAccess, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (*folder == INVALID_HANDLE_VALUE) {
        *code = GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : GetLastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(*folder, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        *code = ERROR_PATH_NOT_FOUND;
    else if (name && !IsItselfIn(*folder, parentFinal, name, WideLength(name), code))
        ;
    else if (!GetHandleFinalPath(*folder, final, kFinalPathSize))
        *code = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
    else
        return true;
    CloseHandle(*folder);
    *folder = INVALID_HANDLE_VALUE;
    return false;
}

// Whether the installed file can be replaced now (or there is none); else
// `*code`, the code of the open: a plug-in that the editor has loaded, or any
// file another program holds without sharing, fails here with 32, where a
// rename over it could say no more than "access denied"; a folder of that
// name, 5.
bool CheckReplaceable(const Destination& destination, DWORD* code) {
    HANDLE file;
    if (!OpenIn(destination.folder, destination.name, WideLength(destination.name), GENERIC_WRITE | DELETE,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, FILE_NON_DIRECTORY_FILE, &file,
                code))
        return *code == ERROR_FILE_NOT_FOUND;
    CloseHandle(file);
    return true;
}

// A new file under a free temporary name in the folder, open for writing and
// for renaming or deleting through the handle, checked to lie in the folder.
bool CreateTemporaryFile(const Destination& destination, HANDLE* file, const wchar_t** name, wchar_t* path,
                         DWORD* code) {
    const unsigned seed = GetTickCount() ^ (GetCurrentProcessId() << 8);
    *code = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 256 && *code == ERROR_FILE_EXISTS; ++attempt) {
        if (!ComposeTemporaryPath(destination.path, seed + attempt, path, kPathSize)) {
            *code = ERROR_FILENAME_EXCED_RANGE;
            return false;
        }
        *name = path + (destination.name - destination.path);
        // New, never an existing file or a link someone put there.
        if (OpenIn(destination.folder, *name, WideLength(*name), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                   FILE_CREATE, FILE_NON_DIRECTORY_FILE, file, code)) {
            if (IsItselfIn(*file, destination.folderFinal, *name, WideLength(*name), code)) return true;
            // Under Wine the name is followed anew: swapped for a link already.
            if (*code == ERROR_INVALID_NAME) *code = ERROR_FILE_INVALID;
            FILE_DISPOSITION_INFO remove = {TRUE};
            SetFileInformationByHandle(*file, FileDispositionInfo, &remove, sizeof(remove));
            CloseHandle(*file);
            *file = INVALID_HANDLE_VALUE;
            return false;
        }
    }
    return false;
}

// Copies `source` from its start into `target`, with its time, and flushes
// it. Else `*code`, the code of the step that failed.
bool CopyData(HANDLE source, HANDLE target, DWORD* code) {
    const DWORD chunk = 1 << 20;
    void* buffer = HeapAlloc(GetProcessHeap(), 0, chunk);
    if (!buffer) {
        *code = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    DWORD failed = 0;
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) failed = GetLastError();
    for (DWORD read = 0; !failed;) {
        if (!ReadFile(source, buffer, chunk, &read, nullptr)) failed = GetLastError();
        if (failed || !read) break;
        // A short write is followed by one that says why (a full disk: 112).
        for (DWORD done = 0, written = 0; !failed && done < read; done += written)
            if (!WriteFile(target, static_cast<char*>(buffer) + done, read - done, &written, nullptr))
                failed = GetLastError();
            else if (!written)
                failed = ERROR_WRITE_FAULT;
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    FILETIME written;
    if (!failed && GetFileTime(source, nullptr, nullptr, &written)) SetFileTime(target, nullptr, nullptr, &written);
    if (!failed && !FlushFileBuffers(target)) failed = GetLastError();
    *code = failed;
    return !failed;
}

// Whether `name` in the destination's folder still reaches the file open as
// `file`, and not a link or another file put in its place.
bool NameReachesFile(const Destination& destination, const wchar_t* name, HANDLE file) {
    HANDLE named;
    DWORD code;
    if (!OpenIn(destination.folder, name, WideLength(name), FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0, &named,
                &code))
        return false;
    const bool same = SameFile(named, file);
    CloseHandle(named);
    return same;
}

// Renames the file open as `file` to `name` in the folder open as `folder`,
// replacing what is there: the folder by its handle, the file by its bare name.
// Else `*code`.
bool RenameInto(HANDLE file, HANDLE folder, const wchar_t* name, DWORD* code) {
    const size_t length = WideLength(name);
    const DWORD bytes = static_cast<DWORD>(sizeof(FILE_RENAME_INFO) + length * sizeof(wchar_t));
    auto* rename = static_cast<FILE_RENAME_INFO*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!rename) {
        *code = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = folder;
    rename->FileNameLength = static_cast<DWORD>(length * sizeof(wchar_t));
    CopyMemory(rename->FileName, name, length * sizeof(wchar_t));
    IO_STATUS_BLOCK status;
    const NTSTATUS result = sysdll::NtSetInformationFile(file, &status, rename, bytes, FileRenameInformation);
    HeapFree(GetProcessHeap(), 0, rename);
    if (result < 0) *code = sysdll::RtlNtStatusToDosError(result);
    return result >= 0;
}

void DeleteThrough(HANDLE file) {
    FILE_DISPOSITION_INFO remove = {TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof(remove));
    CloseHandle(file);
}

}  // namespace

bool OpenDestination(const wchar_t* folder, const wchar_t* subFolder, const wchar_t* srcFile, Destination* out,
                     DWORD* code) {
    // Field by field: a whole empty value would be a 2.5 KiB constant in the program.
    out->folder = INVALID_HANDLE_VALUE;
    out->path[0] = out->folderFinal[0] = 0;
    out->name = nullptr;
    *code = ERROR_PATH_NOT_FOUND;
    if (IsBlankFolderText(folder)) return false;
    // A path cut to fit would name another file: refuse it instead.
    *code = ERROR_FILENAME_EXCED_RANGE;
    if (!ComposeInstallDestination(folder, subFolder, srcFile, out->path, kPathSize)) return false;
    size_t nameStart = 0;
    for (size_t i = 0; out->path[i]; ++i)
        if (IsSeparator(out->path[i])) nameStart = i + 1;
    out->name = out->path + nameStart;
    // Every folder below the chosen one is opened through the one above it,
    // and none may be a link: what is checked is what is written into.
    const wchar_t* srcName = srcFile;
    for (const wchar_t* c = srcFile; *c; ++c)
        if (IsSeparator(*c)) srcName = c + 1;
    if (!OpenPlugInFolder(folder, &out->folder, out->folderFinal, code) ||
        !OpenFolderParts(&out->folder, out->folderFinal, subFolder, subFolder + WideLength(subFolder), code) ||
        !OpenFolderParts(&out->folder, out->folderFinal, srcFile, srcName, code)) {
        CloseDestination(out);
        return false;
    }
    *code = 0;
    return true;
}

void CloseDestination(Destination* destination) {
    if (destination->folder != INVALID_HANDLE_VALUE) CloseHandle(destination->folder);
    destination->folder = INVALID_HANDLE_VALUE;
}

bool OpenInstalledFile(const Destination& destination, DWORD access, HANDLE* file, DWORD* code) {
    if (!OpenIn(destination.folder, destination.name, WideLength(destination.name), GENERIC_READ | access, kShareAll,
                FILE_OPEN, FILE_NON_DIRECTORY_FILE, file, code)) {
        if (*code == ERROR_PATH_NOT_FOUND) *code = ERROR_FILE_NOT_FOUND;
        return false;
    }
    // A link there is not read, nor deleted through.
    if (IsItselfIn(*file, destination.folderFinal, destination.name, WideLength(destination.name), code)) return true;
    CloseHandle(*file);
    *file = INVALID_HANDLE_VALUE;
    return false;
}

// Copies from `source`, the handle that was checked, into a new file in the
// folder, and renames that file over the destination through its handle: a
// copy that stops half-way (a full disk, a lost network folder) leaves the
// installed file as it was. After any failure only the new file goes, through
// its own handle; a name found swapped is reported and left alone.
bool CopyIntoPlace(HANDLE source, const Destination& destination, DWORD* code) {
    if (!CheckReplaceable(destination, code)) return false;
    wchar_t temporaryPath[kPathSize];
    const wchar_t* temporary = nullptr;
    HANDLE file;
    if (!CreateTemporaryFile(destination, &file, &temporary, temporaryPath, code)) return false;
    bool copied = CopyData(source, file, code);
    // Wine renames by the name the file was opened with: a link put in the
    // temporary file's place would be moved over the destination instead.
    if (copied && !NameReachesFile(destination, temporary, file)) {
        *code = ERROR_FILE_INVALID;
        copied = false;
    }
    if (copied && !RenameInto(file, destination.folder, destination.name, code)) {
        // Wine can report a rename it made when the folder was moved meanwhile
        // (8): the name then reaches the file, which is installed and stays.
        if (NameReachesFile(destination, destination.name, file)) {
            CloseHandle(file);
            *code = 0;
            return true;
        }
        // Gone from its temporary name all the same: renamed somewhere, or
        // swapped; reported and left alone, never deleted through the handle.
        if (!NameReachesFile(destination, temporary, file)) {
            CloseHandle(file);
            *code = ERROR_FILE_INVALID;
            return false;
        }
        // Opened by another program since the check: say so, as the check would.
        DWORD check;
        if (*code == ERROR_ACCESS_DENIED && !CheckReplaceable(destination, &check) &&
            check == ERROR_SHARING_VIOLATION)
            *code = ERROR_SHARING_VIOLATION;
    } else if (copied) {
        // Renamed: the handle's file is the installed one now, wherever a
        // swap put it, and stays.
        const bool reached = NameReachesFile(destination, destination.name, file);
        CloseHandle(file);
        if (!reached) *code = ERROR_FILE_INVALID;
        return reached;
    }
    DeleteThrough(file);
    return false;
}

#include "install/destination.h"

#include "install/install_logic.h"

namespace {

// Whether the file could be replaced now: 0 when it can (or is not there),
// else the code of the open. A plug-in that the editor has loaded, or any file
// another program holds without sharing, fails here with 32, where a rename
// over it could say no more than "access denied".
DWORD CheckReplaceable(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND ? 0 : code;
    }
    CloseHandle(file);
    return 0;
}

// Creates a new file under a free temporary name beside `destination` and
// opens it for writing and for renaming or deleting through the handle.
HANDLE CreateTemporaryFile(const wchar_t* destination, wchar_t* temporary, DWORD* code) {
    const unsigned seed = GetTickCount() ^ (GetCurrentProcessId() << 8);
    *code = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 256 && (*code == ERROR_FILE_EXISTS || *code == ERROR_ALREADY_EXISTS);
         ++attempt) {
        if (!ComposeTemporaryPath(destination, seed + attempt, temporary, kPathSize)) {
            *code = ERROR_FILENAME_EXCED_RANGE;
            break;
        }
        // New, never an existing file or a link someone put there.
        HANDLE file = CreateFileW(temporary, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        *code = GetLastError();
    }
    return INVALID_HANDLE_VALUE;
}

DWORD CopyData(HANDLE source, HANDLE target) {
    const DWORD chunk = 1 << 20;
    void* buffer = HeapAlloc(GetProcessHeap(), 0, chunk);
    if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD code = 0;
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) code = GetLastError();
    for (DWORD read = 0; !code;) {
        if (!ReadFile(source, buffer, chunk, &read, nullptr)) code = GetLastError();
        if (code || !read) break;
        // A short write is followed by one that says why (a full disk: 112).
        for (DWORD done = 0, written = 0; !code && done < read; done += written)
            if (!WriteFile(target, static_cast<char*>(buffer) + done, read - done, &written, nullptr))
                code = GetLastError();
            else if (!written)
                code = ERROR_WRITE_FAULT;
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    FILETIME written;
    if (!code && GetFileTime(source, nullptr, nullptr, &written)) SetFileTime(target, nullptr, nullptr, &written);
    if (!code && !FlushFileBuffers(target)) code = GetLastError();
    return code;
}

// Whether `path` still reaches the file open as `file`, and not a link or
// another file put in its place.
bool NameReachesFile(const wchar_t* path, HANDLE file) {
    HANDLE named = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a, b;
    const bool same = GetFileInformationByHandle(named, &a) && GetFileInformationByHandle(file, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                      a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(named);
    return same;
}

DWORD RenameByHandle(HANDLE file, const wchar_t* destination) {
    const size_t length = WideLength(destination);
    const DWORD bytes = static_cast<DWORD>(sizeof(FILE_RENAME_INFO) + length * sizeof(wchar_t));
    auto* rename = static_cast<FILE_RENAME_INFO*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!rename) return ERROR_NOT_ENOUGH_MEMORY;
    rename->ReplaceIfExists = TRUE;
    rename->FileNameLength = static_cast<DWORD>(length * sizeof(wchar_t));
    CopyMemory(rename->FileName, destination, length * sizeof(wchar_t));
    const DWORD code = SetFileInformationByHandle(file, FileRenameInfo, rename, bytes) ? 0 : GetLastError();
    HeapFree(GetProcessHeap(), 0, rename);
    return code;
}

// Frees `path` of whatever someone put there in place of the installer's own
// file (a link): a new file of the installer's is renamed over the name, which
// replaces the link itself and reaches nothing through it, and is deleted
// through its handle.
void ClearName(const wchar_t* path) {
    wchar_t spare[kPathSize];
    DWORD code;
    HANDLE file = CreateTemporaryFile(path, spare, &code);
    if (file == INVALID_HANDLE_VALUE) return;
    RenameByHandle(file, path);
    FILE_DISPOSITION_INFO remove = {TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof(remove));
    CloseHandle(file);
}

// Copies from `source`, the handle that was checked, into a new file beside
// the destination, and renames that file over the destination through its
// handle: a copy that stops half-way (a full disk, a lost network folder)
// leaves the installed file as it was, and nothing is reached by a name that
// someone could point elsewhere in between. 0, or the code of the step that
// failed.
DWORD CopyToPath(HANDLE source, const wchar_t* destination) {
    if (DWORD code = CheckReplaceable(destination)) return code;
    wchar_t temporary[kPathSize];
    DWORD code;
    HANDLE file = CreateTemporaryFile(destination, temporary, &code);
    if (file == INVALID_HANDLE_VALUE) return code;
    code = CopyData(source, file);
    // Where the system renames by name (Wine does), a link put in the
    // temporary file's place would be moved over the destination instead.
    bool swapped = !code && !NameReachesFile(temporary, file);
    if (swapped) code = ERROR_FILE_INVALID;
    if (!code && (code = RenameByHandle(file, destination)) != 0) {
        // Opened by another program since the check: say so, as the check would.
        if (code == ERROR_ACCESS_DENIED && CheckReplaceable(destination) == ERROR_SHARING_VIOLATION)
            code = ERROR_SHARING_VIOLATION;
    } else if (!code) {
        if (NameReachesFile(destination, file)) {
            CloseHandle(file);
            return 0;
        }
        // Renamed, but the destination reaches another file (a link moved
        // there by a rename by name): nothing more is done through the
        // handle, whose name is now that file's.
        CloseHandle(file);
        ClearName(destination);
        return ERROR_FILE_INVALID;
    }
    FILE_DISPOSITION_INFO remove = {TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof(remove));
    CloseHandle(file);
    if (swapped) ClearName(temporary);
    return code;
}

}  // namespace

bool OpenDestination(const wchar_t* folder, const wchar_t* subFolder, const wchar_t* srcFile, Destination* out,
                     DWORD* code) {
    *out = Destination{};
    *code = ERROR_PATH_NOT_FOUND;
    if (IsBlankFolderText(folder)) return false;
    // A path cut to fit would name another file: refuse it instead.
    *code = ERROR_FILENAME_EXCED_RANGE;
    if (!ComposeInstallDestination(folder, subFolder, srcFile, out->path, kPathSize)) return false;
    size_t nameStart = 0;
    for (size_t i = 0; out->path[i]; ++i)
        if (out->path[i] == L'\\' || out->path[i] == L'/') nameStart = i + 1;
    out->name = out->path + nameStart;
    wchar_t folderPath[kPathSize];
    WideCopyCount(folderPath, kPathSize, out->path, nameStart);
    out->folder = CreateFileW(folderPath, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    *code = out->folder == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (*code == ERROR_FILE_NOT_FOUND) *code = ERROR_PATH_NOT_FOUND;
    return !*code;
}

void CloseDestination(Destination* destination) {
    if (destination->folder != INVALID_HANDLE_VALUE) CloseHandle(destination->folder);
    destination->folder = INVALID_HANDLE_VALUE;
}

bool OpenInstalledFile(const Destination& destination, DWORD access, HANDLE* file, DWORD* code) {
    *file = CreateFileW(destination.path, GENERIC_READ | access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
    *code = *file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    return !*code;
}

bool CopyIntoPlace(HANDLE source, const Destination& destination, DWORD* code) {
    *code = CopyToPath(source, destination.path);
    return !*code;
}

#include "install/install.h"

#include <io.h>

#include "catalog/catalog.h"
#include "common/checked_file.h"
#include "common/control_ids.h"
#include "common/pe_image_logic.h"
#include "common/program_path.h"
#include "common/program_path_logic.h"
#include "common/texts.h"
#include "common/wide_text.h"
#include "install/install_logic.h"
#include "photoshop/editor.h"
#include "photoshop/folders.h"

namespace {

void FormatFailure(wchar_t* resultText, size_t size, DWORD code) {
    wchar_t systemText[kMessageSize];
    FormatSystemError(code, systemText, kMessageSize);
    const TextArg args[] = {static_cast<long>(code), systemText};
    FormatText(resultText, size, kInstallFailurePattern, args);
}

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
DWORD CopyIntoPlace(HANDLE source, const wchar_t* destination) {
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

// The machine of the image open as `file`, read through that handle only.
bool ReadMachineOf(HANDLE file, ImageMachine* machine) {
    return file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK &&
           ReadImageMachine(FileImageReader(file), machine);
}

// Whether to go on with a plug-in that the editor owning `folder` (found as
// Start Photoshop finds it) may not load: yes when both are images that fit,
// when either cannot be read, and when the user says so. The editor loads
// only plug-ins built for its own machine, and a plug-in that "does not
// appear" is otherwise a puzzle after the copy.
bool ConfirmMachineFit(HWND dialog, HANDLE plugIn, const wchar_t* folder, const wchar_t* srcFile) {
    ImageMachine plugInMachine, editorMachine;
    wchar_t editor[kPathSize];
    if (!ReadMachineOf(plugIn, &plugInMachine) || !FindPhotoshopProgram(folder, editor, kPathSize)) return true;
    HANDLE editorFile = CreateFileW(editor, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    const bool read = ReadMachineOf(editorFile, &editorMachine);
    if (editorFile != INVALID_HANDLE_VALUE) CloseHandle(editorFile);
    if (!read || PlugInFitsEditor(plugInMachine, editorMachine)) return true;
    wchar_t plugInName[32], editorName[32], question[kMessageSize];
    FormatMachineName(plugInMachine, plugInName, 32);
    FormatMachineName(editorMachine, editorName, 32);
    const TextArg args[] = {srcFile, plugInName, editorName};
    FormatText(question, kMessageSize, kMachineQuestionPattern, args);
    return MessageBoxW(dialog, question, kSetupCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

}  // namespace

void FormatSystemError(DWORD code, wchar_t* text, size_t size) {
    text[0] = 0;
    wchar_t* systemText = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<wchar_t*>(&systemText), 0, nullptr);
    if (length && systemText) WideCopy(text, size, systemText);
    if (systemText) LocalFree(systemText);
}

bool InstallPlugIn(wchar_t* resultText, size_t size, HWND dialog, const wchar_t* srcFile, const wchar_t* newVersion) {
    resultText[0] = 0;
    // Read beside the program and written below the chosen folder, elevated:
    // a name that leaves either folder is refused before anything is touched.
    if (!IsSafeRelativeFileName(srcFile)) {
        FormatFailure(resultText, size, ERROR_INVALID_NAME);
        return false;
    }
    wchar_t folder[kPathSize], subFolder[kPathSize], destination[kPathSize];
    const bool read = ReadFolderBoxText(dialog, IDC_PLUGIN_DIR, folder, kPathSize) &&
                      ReadFolderBoxText(dialog, IDC_SUB_DIR, subFolder, kPathSize);
    if (read && IsBlankFolderText(folder)) {
        FormatFailure(resultText, size, ERROR_PATH_NOT_FOUND);
        return false;
    }
    // A path cut to fit would name another file: refuse it instead.
    if (!read || !ComposeInstallDestination(folder, subFolder, srcFile, destination, kPathSize)) {
        FormatFailure(resultText, size, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // Opened once, here, and read only through this handle from now on.
    wchar_t programDir[kPathSize], programFinal[kFinalPathSize];
    DWORD code = ERROR_INVALID_NAME;
    HANDLE sourceFile = INVALID_HANDLE_VALUE;
    if (!GetProgramDir(programDir, kPathSize))
        code = ERROR_FILENAME_EXCED_RANGE;
    else if (!GetFolderFinalPath(programDir, programFinal, kFinalPathSize))
        code = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
    else
        sourceFile = OpenFileInside(programDir, programFinal, srcFile, &code);
    if (sourceFile == INVALID_HANDLE_VALUE) {
        FormatFailure(resultText, size, code);
        return false;
    }
    // Asked first: No writes nothing.
    if (!ConfirmMachineFit(dialog, sourceFile, folder, srcFile)) {
        CloseHandle(sourceFile);
        return false;
    }
    if (_waccess(destination, 0) == 0) {
        wchar_t installedVersion[kVersionTextSize];
        HANDLE installed = CreateFileW(destination, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
        if (installed == INVALID_HANDLE_VALUE || !GetFileVersionText(installed, installedVersion, kVersionTextSize))
            WideCopy(installedVersion, kVersionTextSize, kNoVersionText);
        if (installed != INVALID_HANDLE_VALUE) CloseHandle(installed);  // before the rename, which it would stop
        wchar_t question[kMessageSize];
        const TextArg args[] = {srcFile, installedVersion, newVersion};
        FormatText(question, kMessageSize, kOverwriteQuestionPattern, args);
        // Only Yes overwrites: Esc and the close box answer something else.
        if (MessageBoxW(dialog, question, kSetupCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            CloseHandle(sourceFile);
            return false;
        }
    }
    code = CopyIntoPlace(sourceFile, destination);
    CloseHandle(sourceFile);
    if (code) {
        FormatFailure(resultText, size, code);
        return false;
    }
    const TextArg args[] = {destination};
    FormatText(resultText, size, kInstallSuccessPattern, args);
    return true;
}

void RunInstallCommand(HWND dialog) {
    const PlugInEntry* entry = SelectedPlugInEntry(dialog);
    if (!entry) return;
    wchar_t resultText[kMessageSize];
    if (InstallPlugIn(resultText, kMessageSize, dialog, entry->SrcFile, entry->FileVersion))
        MessageBoxW(dialog, resultText, kInstallSuccessCaption, MB_OK | MB_ICONINFORMATION);
    else if (resultText[0])
        MessageBoxW(dialog, resultText, kInstallFailureCaption, MB_OK | MB_ICONWARNING);
}

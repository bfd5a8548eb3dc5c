#include "install/install.h"

#include <io.h>

#include "catalog/catalog.h"
#include "common/control_ids.h"
#include "common/pe_image_logic.h"
#include "common/program_path.h"
#include "common/program_path_logic.h"
#include "common/texts.h"
#include "common/wide_text.h"
#include "install/install_logic.h"

namespace {

void FormatFailure(wchar_t* resultText, DWORD code) {
    wchar_t systemText[kMessageSize];
    FormatSystemError(code, systemText);
    const TextArg args[] = {static_cast<long>(code), systemText};
    FormatText(resultText, kMessageSize, kInstallFailurePattern, args);
}

// Reads a registry string whole, terminated at its stored length.
bool ReadDefaultValue(HKEY key, wchar_t* out, size_t size) {
    DWORD bytes = static_cast<DWORD>((size - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &bytes) != ERROR_SUCCESS)
        return false;
    out[bytes / sizeof(wchar_t)] = 0;
    return true;
}

// The box's whole text, or false when it is longer than a path buffer holds.
bool ReadBoxText(HWND dialog, int id, wchar_t* out) {
    HWND box = GetDlgItem(dialog, id);
    if (GetWindowTextLengthW(box) >= static_cast<int>(kPathSize)) return false;
    GetWindowTextW(box, out, kPathSize);
    return true;
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

// Creates an empty file under a free temporary name beside `destination`.
DWORD ReserveTemporaryFile(const wchar_t* destination, wchar_t* temporary) {
    const unsigned seed = GetTickCount() ^ (GetCurrentProcessId() << 8);
    DWORD code = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 256 && (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS); ++attempt) {
        if (!ComposeTemporaryPath(destination, seed + attempt, temporary, kPathSize)) return ERROR_FILENAME_EXCED_RANGE;
        HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return 0;
        }
        code = GetLastError();
    }
    return code;
}

// Copies beside the destination first and then renames over it in one step,
// so a copy that stops half-way (a full disk, a lost network folder, an
// unreadable source) leaves the installed file as it was. 0, or the code of
// the step that failed.
DWORD CopyIntoPlace(const wchar_t* source, const wchar_t* destination) {
    if (DWORD code = CheckReplaceable(destination)) return code;
    wchar_t temporary[kPathSize];
    if (DWORD code = ReserveTemporaryFile(destination, temporary)) return code;
    DWORD code = 0;
    if (!CopyFileW(source, temporary, FALSE)) {
        code = GetLastError();
    } else if (!MoveFileExW(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        code = GetLastError();
        // Opened by another program since the check: say so, as the check would.
        if (code == ERROR_ACCESS_DENIED && CheckReplaceable(destination) == ERROR_SHARING_VIOLATION)
            code = ERROR_SHARING_VIOLATION;
    }
    if (code) {
        SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);  // a read-only source makes a read-only copy
        DeleteFileW(temporary);
    }
    return code;
}

bool ReadFileAt(void* context, uint64_t offset, void* out, size_t size) {
    if (size > MAXDWORD) return false;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return ReadFile(static_cast<HANDLE>(context), out, static_cast<DWORD>(size), &read, &at) && read == size;
}

// The machine of the image open as `file`, read through that handle only.
bool ReadMachineOf(HANDLE file, ImageMachine* machine) {
    return file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK &&
           ReadImageMachine(ImageReader{file, ReadFileAt}, machine);
}

// Whether to go on with a plug-in that the editor owning `folder` (found as
// Start Photoshop finds it) may not load: yes when both are images that fit,
// when either cannot be read, and when the user says so. The editor loads
// only plug-ins built for its own machine, and a plug-in that "does not
// appear" is otherwise a puzzle after the copy.
bool ConfirmMachineFit(HWND dialog, HANDLE plugIn, const wchar_t* folder, const wchar_t* srcFile) {
    ImageMachine plugInMachine, editorMachine;
    wchar_t editor[kPathSize];
    if (!ReadMachineOf(plugIn, &plugInMachine) || !FindPhotoshopProgram(folder, editor)) return true;
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

void FormatSystemError(DWORD code, wchar_t* text) {
    text[0] = 0;
    wchar_t* systemText = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<wchar_t*>(&systemText), 0, nullptr);
    if (length && systemText) WideCopy(text, kMessageSize, systemText);
    if (systemText) LocalFree(systemText);
}

int InstallPlugIn(wchar_t* resultText, HWND dialog, const wchar_t* srcFile, const wchar_t* newVersion) {
    resultText[0] = 0;
    // Read beside the program and written below the chosen folder, elevated:
    // a name that leaves either folder is refused before anything is touched.
    if (!IsSafeRelativeFileName(srcFile)) {
        FormatFailure(resultText, ERROR_INVALID_NAME);
        return 0;
    }
    wchar_t folder[kPathSize], subFolder[kPathSize], destination[kPathSize], source[kPathSize];
    const bool read = ReadBoxText(dialog, IDC_PLUGIN_DIR, folder) && ReadBoxText(dialog, IDC_SUB_DIR, subFolder);
    if (read && IsBlankFolderText(folder)) {
        FormatFailure(resultText, ERROR_PATH_NOT_FOUND);
        return 0;
    }
    // A path cut to fit would name another file: refuse it instead.
    if (!read || !ComposeInstallDestination(folder, subFolder, srcFile, destination, kPathSize) ||
        !GetProgramPath(srcFile, source)) {
        FormatFailure(resultText, ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    // Asked first: No writes nothing.
    HANDLE plugIn = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool goOn = ConfirmMachineFit(dialog, plugIn, folder, srcFile);
    if (plugIn != INVALID_HANDLE_VALUE) CloseHandle(plugIn);
    if (!goOn) return 0;
    if (_waccess(destination, 0) == 0) {
        wchar_t installedVersion[kVersionTextSize];
        if (!GetFileVersionText(destination, installedVersion)) WideCopy(installedVersion, kVersionTextSize, kNoVersionText);
        wchar_t question[kMessageSize];
        const TextArg args[] = {srcFile, installedVersion, newVersion};
        FormatText(question, kMessageSize, kOverwriteQuestionPattern, args);
        if (MessageBoxW(dialog, question, kSetupCaption, MB_YESNO | MB_ICONQUESTION) == IDNO) return 0;
    }
    if (DWORD code = CopyIntoPlace(source, destination)) {
        FormatFailure(resultText, code);
        return 0;
    }
    const TextArg args[] = {destination};
    FormatText(resultText, kMessageSize, kInstallSuccessPattern, args);
    return 1;
}

void RunInstallCommand(HWND dialog) {
    const PlugInEntry* entry = SelectedPlugInEntry(dialog);
    if (!entry) return;
    wchar_t resultText[kMessageSize];
    if (InstallPlugIn(resultText, dialog, entry->SrcFile, entry->FileVersion))
        MessageBoxW(dialog, resultText, kInstallSuccessCaption, MB_OK | MB_ICONINFORMATION);
    else if (resultText[0])
        MessageBoxW(dialog, resultText, kInstallFailureCaption, MB_OK | MB_ICONWARNING);
}

int FindPhotoshopByAssociation(wchar_t* path) {
    wchar_t buffer[kAssociationSize];
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kPsdKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    bool read = ReadDefaultValue(key, buffer, kAssociationSize);
    RegCloseKey(key);
    wchar_t commandKey[kAssociationSize];
    if (!read || !ComposeOpenCommandKey(buffer, commandKey, kAssociationSize)) return 0;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, commandKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    read = ReadDefaultValue(key, buffer, kAssociationSize);
    RegCloseKey(key);
    return read && ParseOpenCommand(buffer, path, kPathSize);
}

int FindPhotoshopProgram(const wchar_t* folder, wchar_t* path) {
    return (DerivePhotoshopPath(folder, path, kPathSize) && _waccess(path, 0) == 0) || FindPhotoshopByAssociation(path);
}

int LaunchPhotoshop(HWND dialog) {
    wchar_t folder[kPathSize], path[kPathSize];
    GetDlgItemTextW(dialog, IDC_PLUGIN_DIR, folder, kPathSize);
    if (!FindPhotoshopProgram(folder, path)) return 0;
    // CreateProcessW may write into the command line, so it gets a writable one.
    wchar_t commandLine[1] = {0};
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(path, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process))
        return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

void RunLaunchCommand(HWND dialog) {
    if (MessageBoxW(dialog, kLaunchQuestion, kSetupCaption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
    if (!LaunchPhotoshop(dialog)) MessageBoxW(dialog, kLaunchFailureText, kSetupCaption, MB_OK | MB_ICONWARNING);
}

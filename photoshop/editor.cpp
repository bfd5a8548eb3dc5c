#include "photoshop/editor.h"

#include "common/checked_file.h"
#include "common/control_ids.h"
#include "common/registry_text.h"
#include "common/texts.h"
#include "common/user_start.h"
#include "common/wide_text.h"
#include "photoshop/editor_logic.h"
#include "photoshop/folders.h"

bool FindPhotoshopByAssociation(wchar_t* path, size_t size) {
    // The machine's classes only: the merged view an elevated program gets
    // from HKEY_CLASSES_ROOT takes the user's own classes first, which any
    // program the user runs may write.
    HKEY classes;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineClassesKey, 0, KEY_READ, &classes) != ERROR_SUCCESS) return 0;
    wchar_t buffer[kAssociationSize];
    HKEY key;
    bool read = RegOpenKeyExW(classes, kPsdKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (read) {
        read = ReadRegistryText(key, nullptr, buffer, kAssociationSize);
        RegCloseKey(key);
    }
    wchar_t commandKey[kAssociationSize];
    read = read && ComposeOpenCommandKey(buffer, commandKey, kAssociationSize) &&
           RegOpenKeyExW(classes, commandKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    RegCloseKey(classes);
    if (!read) return 0;
    read = ReadRegistryText(key, nullptr, buffer, kAssociationSize);
    RegCloseKey(key);
    return read && ParseOpenCommand(buffer, path, size);
}

namespace {

// An absolute path to a file that is there: nothing the current drive or
// folder could redirect.
bool IsStartableProgram(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return IsAbsolutePath(path) && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// A blank or relative folder text, or none, names no editor: the association does.
bool FindPhotoshopProgram(const wchar_t* folder, wchar_t* path, size_t size) {
    return (folder && DerivePhotoshopPath(folder, path, size) && IsStartableProgram(path)) ||
           (FindPhotoshopByAssociation(path, size) && IsStartableProgram(path));
}

// Whether the file open as `file` is a program (a PE image that is no DLL):
// the shell would "open" anything else by its type, or report success for a
// file that starts nothing.
bool IsProgramImage(HANDLE file) {
    PeImageInfo info;
    return GetFileType(file) == FILE_TYPE_DISK && ReadPeImageInfo(FileImageReader(file), &info) && !info.isDll;
}

bool StartPhotoshop(const wchar_t* folder) {
    wchar_t path[kPathSize], programFolder[kPathSize];
    // In its own folder, so that it finds its own files there, not this
    // program's (a download folder).
    if (!FindPhotoshopProgram(folder, path, kPathSize) || !FolderOfPath(path, programFolder, kPathSize)) return false;
    // Held unshared for writing while the shell is asked, so that what was
    // checked is what it finds.
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // Only as the user, through the shell: with no shell to ask, nothing
    // starts, rather than the editor with this program's rights.
    const bool started = IsProgramImage(file) && StartThroughShell(path, programFolder);
    CloseHandle(file);
    return started;
}

bool LaunchPhotoshop(HWND dialog) {
    wchar_t folder[kPathSize];
    // A text too long to read whole names no folder: cut, it might name another.
    const bool read = ReadFolderBoxText(dialog, IDC_PLUGIN_DIR, folder, kPathSize);
    return StartPhotoshop(read ? folder : nullptr);
}

void RunLaunchCommand(HWND dialog) {
    if (MessageBoxW(dialog, kLaunchQuestion, kSetupCaption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
    if (!LaunchPhotoshop(dialog)) MessageBoxW(dialog, kLaunchFailureText, kSetupCaption, MB_OK | MB_ICONWARNING);
}

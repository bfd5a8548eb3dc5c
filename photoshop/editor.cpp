#include "photoshop/editor.h"

#include <windows.h>

#include "common/checked_file.h"
#include "common/registry_text.h"
#include "common/user_start.h"
#include "common/wide_text.h"
#include "photoshop/editor_locations.h"
#include "photoshop/editor_logic.h"

bool FindPhotoshopByAssociation(wchar_t* path, size_t size) {
    // The machine's classes only: the merged view an elevated program gets
    // from HKEY_CLASSES_ROOT takes the user's own classes first, which any
    // program the user runs may write.
    HKEY classes;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineClassesKey, 0, KEY_READ, &classes) != ERROR_SUCCESS) return false;
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
    if (!read) return false;
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

// Whether the file open as `file` is a program (a PE image that is no DLL):
// the shell would "open" anything else by its type, or report success for a
// file that starts nothing.
bool IsProgramImage(HANDLE file) {
    PeImageInfo info;
    return GetFileType(file) == FILE_TYPE_DISK && ReadPeImageInfo(FileImageReader(file), &info) && !info.isDll;
}

}  // namespace

// A blank or relative folder text, or none, names no editor: the association does.
bool FindPhotoshopProgram(const wchar_t* folder, wchar_t* path, size_t size) {
    return (folder && DerivePhotoshopPath(folder, path, size) && IsStartableProgram(path)) ||
           (FindPhotoshopByAssociation(path, size) && IsStartableProgram(path));
}

bool LaunchPhotoshop(const wchar_t* folder) {
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

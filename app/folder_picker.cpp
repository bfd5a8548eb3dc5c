#include "app/folder_picker.h"

#include <shlwapi.h>
#include <shobjidl.h>

#include "common/control_ids.h"
#include "common/system_libraries.h"
#include "common/user_texts.h"

namespace {

// The shell's file dialog object, which picks folders too.
const CLSID kFileOpenDialog = {0xdc1c5a9c, 0xe88a, 0x4dde, {0xa5, 0xa1, 0x60, 0xf8, 0x2a, 0x20, 0xae, 0xf7}};

bool IsFolder(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool PickFolder(HWND owner, wchar_t (&folder)[kPathSize]) {
    IFileOpenDialog* picker = nullptr;
    if (FAILED(sysdll::CoCreateInstance(kFileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IFileOpenDialog),
                                        reinterpret_cast<void**>(&picker))) ||
        !picker)
        return false;
    FILEOPENDIALOGOPTIONS options = 0;
    picker->GetOptions(&options);
    // Folders of the file system only; the program's current folder stays.
    picker->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR);
    if (folder[0] && IsFolder(folder)) {
        IShellItem* start = nullptr;
        if (SUCCEEDED(sysdll::SHCreateItemFromParsingName(folder, nullptr, __uuidof(IShellItem),
                                                          reinterpret_cast<void**>(&start))) &&
            start) {
            picker->SetFolder(start);
            start->Release();
        }
    }
    bool picked = false;
    IShellItem* chosen = nullptr;
    if (SUCCEEDED(picker->Show(owner)) && SUCCEEDED(picker->GetResult(&chosen)) && chosen) {
        wchar_t* path = nullptr;
        wchar_t fitted[kPathSize];
        // A folder longer than the box's buffer would be read back cut short,
        // naming another folder: it is not taken.
        if (SUCCEEDED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path &&
            WideCopy(fitted, kPathSize, path))
            picked = WideCopy(folder, kPathSize, fitted);
        sysdll::CoTaskMemFree(path);
        chosen->Release();
    }
    picker->Release();
    return picked;
}

void EnableFolderAutoComplete(HWND dialog) {
    HWND edit = FindWindowExW(GetDlgItem(dialog, IDC_PLUGIN_DIR), nullptr, L"Edit", nullptr);
    if (!edit) return;
    if (sysdll::SHAutoComplete(edit, SHACF_FILESYSTEM) != 0)
        MessageBoxW(dialog, kAutoCompleteNoteText, kAutoCompleteNoteCaption, MB_OK | MB_ICONINFORMATION);
}

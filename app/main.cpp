#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/credit_link.h"
#include "app/dialog_window.h"
#include "app/folder_picker.h"
#include "app/start_steps.h"
#include "catalog/catalog.h"
#include "common/control_ids.h"
#include "common/system_libraries.h"
#include "common/user_texts.h"
#include "common/wide_text.h"
#include "install/install.h"
#include "install/unattended.h"
#include "photoshop/photoshop.h"

namespace {

// The dialog's own state: set at its start, here, and read only here.
HINSTANCE g_instance;
PlugInCatalog* g_catalog;

// The whole text of folder box `id` in `out`, or null when it does not fit:
// cut, it would name another folder.
const wchar_t* ReadFolderBoxText(HWND dialog, int id, wchar_t (&out)[kPathSize]) {
    HWND box = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(box);
    if (length < 0 || static_cast<size_t>(length) >= kPathSize) return nullptr;
    GetWindowTextW(box, out, static_cast<int>(kPathSize));
    return out;
}

// The plug-in folder box's folder as `code` leaves it: on CBN_SELCHANGE the
// edit does not show the chosen item yet, so the item's text is the folder.
bool ReadPlugInFolder(HWND dialog, WORD code, wchar_t (&folder)[kPathSize]) {
    if (code != CBN_SELCHANGE) return ReadFolderBoxText(dialog, IDC_PLUGIN_DIR, folder) != nullptr;
    HWND box = GetDlgItem(dialog, IDC_PLUGIN_DIR);
    LRESULT item = SendMessageW(box, CB_GETCURSEL, 0, 0);
    LRESULT length = item == CB_ERR ? CB_ERR : SendMessageW(box, CB_GETLBTEXTLEN, item, 0);
    return length != CB_ERR && length < static_cast<LRESULT>(kPathSize) &&
           SendMessageW(box, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(folder)) != CB_ERR;
}

// The entry selected in the catalog list; null without a catalog.
const PlugInEntry* SelectedEntry(HWND dialog) {
    LRESULT index = SendDlgItemMessageW(dialog, IDC_PLUGIN_LIST, CB_GETCURSEL, 0, 0);
    return CatalogEntryAt(g_catalog, static_cast<long>(index));
}

// The selected entry's preferred sub-folders; without a catalog nothing is
// preferred.
void RelistSubFolders(HWND dialog, WORD code) {
    wchar_t folder[kPathSize];
    const bool read = ReadPlugInFolder(dialog, code, folder);
    const PlugInEntry* entry = SelectedEntry(dialog);
    ListSubFolders(dialog, read ? folder : nullptr, entry ? entry->SubDir1 : nullptr,
                   entry ? entry->SubDir2 : nullptr);
}

// A picked folder goes into the box as if typed there.
void BrowseForFolder(HWND dialog) {
    wchar_t folder[kPathSize];
    if (!ReadFolderBoxText(dialog, IDC_PLUGIN_DIR, folder)) folder[0] = 0;
    if (!PickFolder(dialog, folder)) return;
    SetDlgItemTextW(dialog, IDC_PLUGIN_DIR, folder);
    RelistSubFolders(dialog, CBN_EDITCHANGE);
}

// Both boxes are read as they stand; a text that does not fit names no folder.
void Install(HWND dialog) {
    const PlugInEntry* entry = SelectedEntry(dialog);
    if (!entry) return;
    wchar_t folder[kPathSize], subFolder[kPathSize];
    RunInstallCommand(dialog, *entry, ReadFolderBoxText(dialog, IDC_PLUGIN_DIR, folder),
                      ReadFolderBoxText(dialog, IDC_SUB_DIR, subFolder));
}

void Launch(HWND dialog) {
    wchar_t folder[kPathSize];
    RunLaunchCommand(dialog, ReadFolderBoxText(dialog, IDC_PLUGIN_DIR, folder));
}

void ShowSelectedEntry(HWND dialog) {
    const PlugInEntry* entry = SelectedEntry(dialog);
    if (!entry) return;
    ShowPlugInEntry(dialog, entry);
    SelectPreferredSubFolder(dialog, entry->SubDir1, entry->SubDir2);
}

void InitSetupDialog(HWND dialog) {
    MarkStartStep("dialog created");
    const bool loaded = LoadPlugInCatalog(dialog, &g_catalog);
    MarkStartStep("catalog");
    if (!loaded) return;
    const bool found = FindPlugInFolders(dialog);
    MarkStartStep("plug-in folders");
    if (found) {
        // For entry 0, which the catalog list shows selected.
        RelistSubFolders(dialog, CBN_EDITCHANGE);
        MarkStartStep("sub-folders");
    }
    EnableFolderAutoComplete(dialog);
    MarkStartStep("auto-completion and its note");
    CreateCreditLink(dialog, g_instance);
    MarkStartStep("credit link");
    SetDialogIcons(dialog);
    MarkStartStep("icons");
    CenterDialog(dialog);
    MarkStartStep("placement");
}

}  // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitSetupDialog(dialog);
        return TRUE;
    case WM_COMMAND: {
        const WORD id = LOWORD(wParam), code = HIWORD(wParam);
        switch (id) {
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_PLUGIN_DIR:
            if (code != CBN_SELCHANGE && code != CBN_EDITCHANGE) return FALSE;
            RelistSubFolders(dialog, code);
            return TRUE;
        case IDC_BROWSE:
            BrowseForFolder(dialog);
            return TRUE;
        case IDC_INSTALL:
            Install(dialog);
            return TRUE;
        case IDC_LAUNCH:
            Launch(dialog);
            return TRUE;
        case IDC_PLUGIN_LIST:
            if (code != CBN_SELCHANGE) return FALSE;
            ShowSelectedEntry(dialog);
            return TRUE;
        }
        return FALSE;
    }
    case WM_NOTIFY:
        ActivateCreditLink(reinterpret_cast<const NMHDR*>(lParam));
        return FALSE;
    case WM_DESTROY:
        DestroyCreditLink();
        return TRUE;
    }
    return FALSE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    MarkStartStep("process and C runtime");
    // Before any DLL is loaded on the program's behalf.
    RestrictLibrarySearch();
    // /S works without any window, /? shows the switches; else the dialog.
    unsigned long code;
    const CommandLineRun run = RunCommandLine(GetCommandLineW(), &code);
    if (run == CommandLineRun::Help) MessageBoxW(nullptr, kHelpText, kSetupCaption, MB_OK | MB_ICONINFORMATION);
    if (run != CommandLineRun::Dialog) return static_cast<int>(code);
    g_instance = instance;
    sysdll::CoInitialize(nullptr);
    MarkStartStep("COM (ole32)");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LINK_CLASS};
    sysdll::InitCommonControlsEx(&controls);
    MarkStartStep("common controls (comctl32)");
    INT_PTR result = DialogBoxParamW(g_instance, MAKEINTRESOURCEW(IDD_SETUP), nullptr, SetupDialogProc, 0);
    sysdll::CoUninitialize();
    SaveStartSteps();
    return static_cast<int>(result);
}

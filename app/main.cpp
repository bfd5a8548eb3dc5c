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
#include "install/install.h"
#include "install/unattended.h"
#include "photoshop/editor.h"
#include "photoshop/folders.h"

HINSTANCE g_instance;
PlugInCatalog* g_catalog;

// The selected entry's preferred sub-folders; without a catalog nothing is
// preferred.
static void RelistSubFolders(HWND dialog, WORD code) {
    const PlugInEntry* entry = SelectedPlugInEntry(dialog);
    ListSubFolders(dialog, entry ? entry->SubDir1 : nullptr, entry ? entry->SubDir2 : nullptr, code);
}

// A picked folder goes into the box as if typed there.
static void BrowseForFolder(HWND dialog) {
    wchar_t folder[kPathSize] = L"";
    HWND box = GetDlgItem(dialog, IDC_PLUGIN_DIR);
    if (GetWindowTextLengthW(box) < static_cast<int>(kPathSize)) GetWindowTextW(box, folder, kPathSize);
    if (!PickFolder(dialog, folder)) return;
    SetWindowTextW(box, folder);
    RelistSubFolders(dialog, CBN_EDITCHANGE);
}

static void InitSetupDialog(HWND dialog) {
    MarkStartStep("dialog created");
    const bool loaded = LoadPlugInCatalog(dialog);
    MarkStartStep("catalog");
    if (!loaded) return;
    const bool found = FindPlugInFolders(dialog);
    MarkStartStep("plug-in folders");
    if (found) {
        const PlugInEntry* first = CatalogEntryAt(g_catalog, 0);
        ListSubFolders(dialog, first->SubDir1, first->SubDir2, CBN_EDITCHANGE);
        MarkStartStep("sub-folders");
    }
    EnableFolderAutoComplete(dialog);
    MarkStartStep("auto-completion and its note");
    CreateCreditLink(dialog);
    MarkStartStep("credit link");
    SetDialogIcons(dialog);
    MarkStartStep("icons");
    CenterDialog(dialog);
    MarkStartStep("placement");
}

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
            RunInstallCommand(dialog);
            return TRUE;
        case IDC_LAUNCH:
            RunLaunchCommand(dialog);
            return TRUE;
        case IDC_PLUGIN_LIST:
            if (code != CBN_SELCHANGE) return FALSE;
            if (g_catalog) {
                LRESULT index = SendDlgItemMessageW(dialog, IDC_PLUGIN_LIST, CB_GETCURSEL, 0, 0);
                ShowPlugInEntry(index, dialog);
                SelectPreferredSubFolder(dialog, CatalogEntryAt(g_catalog, static_cast<long>(index)));
            }
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
    if (unsigned long code; RunCommandLine(GetCommandLineW(), &code)) return static_cast<int>(code);
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

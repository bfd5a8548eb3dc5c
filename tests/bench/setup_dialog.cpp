// The start-up and install baselines: the setup dialog from the program's own
// template, manifest and common controls, with none of the program's work. It
// shows the start-up note as the program does under Wine, and Install copies
// with CopyFileW and shows the same success box.
//   bench_dialog [SOURCE DESTINATION]
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "common/control_ids.h"
#include "common/user_texts.h"
#include "common/wide_text.h"
#include "install/install_logic.h"

static INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        MessageBoxW(dialog, kAutoCompleteNoteText, kAutoCompleteNoteCaption, MB_OK | MB_ICONINFORMATION);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (LOWORD(wParam) == IDC_INSTALL && __argc == 3) {
        if (CopyFileW(__wargv[1], __wargv[2], FALSE)) {
            wchar_t text[kMessageSize];
            const TextArg args[] = {__wargv[2]};
            FormatText(text, kMessageSize, kInstallSuccessPattern, args);
            MessageBoxW(dialog, text, kInstallSuccessCaption, MB_OK | MB_ICONINFORMATION);
        } else {
            MessageBoxW(dialog, L"CopyFileW", kInstallFailureCaption, MB_OK | MB_ICONWARNING);
        }
        return TRUE;
    }
    return FALSE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETUP), nullptr, SetupDialogProc, 0));
}

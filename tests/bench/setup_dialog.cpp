// The start-up and install baselines: the setup dialog from the program's own
// template, manifest and common controls, with none of the program's work. It
// shows the start-up note as the program does under Wine, and Install copies
// with CopyFileW, flushes the copy to disk as the program does before its
// rename, and shows the same success box.
//   bench_dialog [SOURCE DESTINATION]
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "app/start_steps.h"
#include "common/control_ids.h"
#include "common/user_texts.h"
#include "common/wide_text.h"
#include "install/install_logic.h"

// CopyFileW leaves the copy's data in the cache; the program's copy is on the
// disk before it is shown as installed.
static bool CopyDurably(const wchar_t* from, const wchar_t* to) {
    if (!CopyFileW(from, to, FALSE)) return false;
    HANDLE copy = CreateFileW(to, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (copy == INVALID_HANDLE_VALUE) return false;
    const bool flushed = FlushFileBuffers(copy);
    CloseHandle(copy);
    return flushed;
}

static INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        MarkStartStep("dialog created");
        MessageBoxW(dialog, kAutoCompleteNoteText, kAutoCompleteNoteCaption, MB_OK | MB_ICONINFORMATION);
        MarkStartStep("auto-completion and its note");
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (LOWORD(wParam) == IDC_INSTALL && __argc == 3) {
        if (CopyDurably(__wargv[1], __wargv[2])) {
            wchar_t text[kMessageSize];
            const TextArg args[] = {__wargv[2]};
            FormatText(text, kMessageSize, kInstallSuccessPattern, args);
            MessageBoxW(dialog, text, kInstallSuccessCaption, MB_OK | MB_ICONINFORMATION);
        } else {
            MessageBoxW(dialog, L"CopyFileW + FlushFileBuffers", kInstallFailureCaption, MB_OK | MB_ICONWARNING);
        }
        return TRUE;
    }
    return FALSE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    MarkStartStep("process and C runtime");
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    MarkStartStep("common controls (comctl32)");
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETUP), nullptr, SetupDialogProc, 0);
    SaveStartSteps();
    return static_cast<int>(result);
}

// The start-up baseline: a bare modal dialog that shows one message box while
// it initialises, as the setup dialog shows its auto-completion note under Wine.
#include <windows.h>

static INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        MessageBoxW(dialog, L"SHAutoComplete：插件路径下拉框将不能提供自动完成功能，不过这无关紧要。", L"注意",
                    MB_OK | MB_ICONINFORMATION);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(100), nullptr, BareDialogProc, 0));
}

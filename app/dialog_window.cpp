#include "app/dialog_window.h"

#include "app/placement_logic.h"
#include "common/control_ids.h"

void SetDialogIcons(HWND dialog) {
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
    // 32 and 16 pixels at 100 %; the system's sizes at its scale. The big
    // one is the size the template's icon control has loaded, shared: it is
    // not decoded a second time.
    HANDLE big = LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                            GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR | LR_SHARED);
    HANDLE small = LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                              GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

void CenterDialog(HWND dialog) {
    HWND reference = GetParent(dialog);
    if (!reference) reference = GetDesktopWindow();
    RECT area, window;
    GetClientRect(reference, &area);
    MapWindowPoints(reference, nullptr, reinterpret_cast<POINT*>(&area), 2);
    GetWindowRect(dialog, &window);
    PlacementInput in;
    in.left = area.left;
    in.top = area.top;
    in.right = area.right;
    in.bottom = area.bottom;
    in.width = window.right - window.left;
    in.height = window.bottom - window.top;
    in.captionButtonWidth = GetSystemMetrics(SM_CXSIZE);
    in.hasSystemMenu = (GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU) != 0;
    in.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    in.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    PlacementPoint p = ComputeDialogPosition(in);
    SetWindowPos(dialog, nullptr, p.x, p.y, in.width, in.height, SWP_NOZORDER);
}

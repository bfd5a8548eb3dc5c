#include "app/decorations.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "app/placement_logic.h"
#include "common/control_ids.h"
#include "common/credit.h"
#include "common/texts.h"
#include "common/user_start.h"

HWND g_creditLink;

void EnableFolderAutoComplete(HWND dialog) {
    HWND edit = FindWindowExW(GetDlgItem(dialog, IDC_PLUGIN_DIR), nullptr, L"Edit", nullptr);
    if (!edit) return;
    if (SHAutoComplete(edit, SHACF_FILESYSTEM) != 0)
        MessageBoxW(dialog, kAutoCompleteNoteText, kAutoCompleteNoteCaption, MB_OK | MB_ICONINFORMATION);
}

void CreateCreditLink(HWND dialog) {
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    RECT r;
    GetWindowRect(GetDlgItem(dialog, IDC_CREDIT), &r);
    OffsetRect(&r, -origin.x, -origin.y);
    g_creditLink = CreateWindowExW(0, WC_LINK,
                                   WIDE(CREDIT_BEFORE) L"<a href=\"" WIDE(CREDIT_ADDRESS) L"\">" WIDE(CREDIT_AUTHOR) L"</a>" WIDE(CREDIT_AFTER),
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, dialog, nullptr, g_instance, nullptr);
    // Left to itself the link draws in the larger system font, which the
    // label's rectangle cuts; the label's own font fits it at every scale.
    if (g_creditLink)
        SendMessageW(g_creditLink, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
}

void ActivateCreditLink(const NMHDR* header) {
    if (!g_creditLink || header->hwndFrom != g_creditLink) return;
    if (header->code != NM_CLICK && header->code != NM_RETURN) return;
    LITEM item = reinterpret_cast<const NMLINK*>(header)->item;
    // The browser runs as the user, not with this program's rights.
    if (!StartThroughShell(item.szUrl, nullptr)) ShellExecuteW(nullptr, L"open", item.szUrl, nullptr, nullptr, SW_SHOW);
}

void DestroyCreditLink() {
    if (g_creditLink) DestroyWindow(g_creditLink);
    g_creditLink = nullptr;
}

void SetDialogIcons(HWND dialog) {
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
    // 32 and 16 pixels at 100 %; the system's sizes at its scale.
    HANDLE big = LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                            GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR);
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

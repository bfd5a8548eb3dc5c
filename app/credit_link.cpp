#include "app/credit_link.h"

#include <commctrl.h>

#include "common/control_ids.h"
#include "common/credit.h"
#include "common/system_libraries.h"
#include "common/user_start.h"

namespace {

HWND g_creditLink;

}  // namespace

void CreateCreditLink(HWND dialog, HINSTANCE instance) {
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    RECT r;
    GetWindowRect(GetDlgItem(dialog, IDC_CREDIT), &r);
    OffsetRect(&r, -origin.x, -origin.y);
    g_creditLink = CreateWindowExW(0, WC_LINK,
                                   WIDE(CREDIT_BEFORE) L"<a href=\"" WIDE(CREDIT_ADDRESS) L"\">" WIDE(CREDIT_AUTHOR) L"</a>" WIDE(CREDIT_AFTER),
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, dialog, nullptr, instance, nullptr);
    // Left to itself the link draws in the larger system font, which the
    // label's rectangle cuts; the label's own font fits it at every scale.
    if (g_creditLink)
        SendMessageW(g_creditLink, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
}

void ActivateCreditLink(const NMHDR* header) {
    if (!g_creditLink || header->hwndFrom != g_creditLink) return;
    if (header->code != NM_CLICK && header->code != NM_RETURN) return;
    LITEM item = reinterpret_cast<const NMLINK*>(header)->item;
    // The browser runs as the user, not with this program's rights: with no
    // shell to ask, nothing opens (the link's failures are silent).
    StartThroughShell(item.szUrl, nullptr);
}

void DestroyCreditLink() {
    if (g_creditLink) DestroyWindow(g_creditLink);
    g_creditLink = nullptr;
}

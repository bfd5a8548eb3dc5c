#include "photoshop/photoshop.h"

#include "common/control_ids.h"
#include "common/user_texts.h"
#include "photoshop/editor.h"
#include "photoshop/folders.h"
#include "photoshop/folders_logic.h"

namespace {

void AddItem(void* box, const wchar_t* name) {
    SendMessageW(static_cast<HWND>(box), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

bool StartsWithItem(void* context, int item, const wchar_t* prefix) {
    HWND box = static_cast<HWND>(context);
    // Items are listed folder names, which always fit a path buffer.
    LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, item, 0);
    int prefixLength = static_cast<int>(WideLength(prefix));
    wchar_t text[kPathSize];
    if (length == CB_ERR || length < prefixLength || length >= static_cast<LRESULT>(kPathSize) ||
        SendMessageW(box, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text)) == CB_ERR)
        return false;
    return CompareStringOrdinal(text, prefixLength, prefix, prefixLength, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool FindPlugInFolders(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_PLUGIN_DIR);
    PlugInFolderList* list;
    if (!FindRegistryPlugInFolders(&list)) return false;
    for (size_t i = 0; i < list->count; ++i)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list->folders[i]));
    const bool added = list->count > 0;
    FreePlugInFolderList(list);
    if (added) SendMessageW(box, CB_SETCURSEL, 0, 0);
    return added;
}

void ListSubFolders(HWND dialog, const wchar_t* folder, const wchar_t* preferred1, const wchar_t* preferred2) {
    HWND subBox = GetDlgItem(dialog, IDC_SUB_DIR);
    // Emptying the box and adding thousands of items one by one would repaint
    // it each time: it is repainted once, at the end.
    SendMessageW(subBox, WM_SETREDRAW, FALSE, 0);
    SendMessageW(subBox, CB_RESETCONTENT, 0, 0);
    int preferred;
    if (ListSubFolderNames(folder, preferred1, preferred2, SubFolderSink{subBox, AddItem}, &preferred))
        SendMessageW(subBox, CB_SETCURSEL, preferred, 0);
    SendMessageW(subBox, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(subBox, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void SelectPreferredSubFolder(HWND dialog, const wchar_t* preferred1, const wchar_t* preferred2) {
    HWND subBox = GetDlgItem(dialog, IDC_SUB_DIR);
    LRESULT count = SendMessageW(subBox, CB_GETCOUNT, 0, 0);
    if (count == CB_ERR || count <= 0) return;
    const ItemPrefixMatcher matcher{subBox, StartsWithItem};
    int item = FindPreferredSubFolderItem(static_cast<int>(count), matcher, preferred1, preferred2);
    if (item >= 0) SendMessageW(subBox, CB_SETCURSEL, item, 0);
}

void RunLaunchCommand(HWND dialog, const wchar_t* folder) {
    if (MessageBoxW(dialog, kLaunchQuestion, kSetupCaption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
    if (!LaunchPhotoshop(folder)) MessageBoxW(dialog, kLaunchFailureText, kSetupCaption, MB_OK | MB_ICONWARNING);
}

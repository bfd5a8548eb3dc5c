#include "photoshop/folders.h"

#include <io.h>

#include "common/control_ids.h"
#include "common/texts.h"
#include "common/wide_text.h"
#include "photoshop/folders_logic.h"

namespace {

constexpr DWORD kVersionKeyNameSize = 32;

// The value need not be terminated, so the buffer has room for one more
// character than the read may fill, and is terminated at the length read.
bool ReadApplicationPath(HKEY version, wchar_t (&value)[kPathSize + 1]) {
    DWORD bytes = kPathSize * sizeof(wchar_t);
    if (RegQueryValueExW(version, kApplicationPathValue, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                         &bytes) != ERROR_SUCCESS)
        return false;
    value[bytes / sizeof(wchar_t)] = 0;
    return true;
}

bool AddPlugInFolderOf(HWND list, const wchar_t* installPath) {
    for (const wchar_t* name : kPlugInFolderNames) {
        wchar_t candidate[kPathSize];
        if (ComposePlugInFolderCandidate(installPath, name, candidate, kPathSize) &&
            _waccess(candidate, 0) == 0) {
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(candidate));
            return true;
        }
    }
    return false;
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
    HKEY root;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPhotoshopKey, 0, KEY_READ, &root) != ERROR_SUCCESS) return false;
    HWND list = GetDlgItem(dialog, IDC_PLUGIN_DIR);
    bool added = false;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kVersionKeyNameSize];
        DWORD nameSize = kVersionKeyNameSize;
        if (RegEnumKeyExW(root, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY version;
        if (RegOpenKeyExW(root, name, 0, KEY_READ, &version) != ERROR_SUCCESS) break;
        wchar_t installPath[kPathSize + 1];
        bool readable = ReadApplicationPath(version, installPath);
        RegCloseKey(version);
        if (!readable) break;
        if (AddPlugInFolderOf(list, installPath)) added = true;
    }
    RegCloseKey(root);
    if (added) SendMessageW(list, CB_SETCURSEL, 0, 0);
    return added;
}

void ListSubFolders(HWND dialog, const wchar_t* preferred1, const wchar_t* preferred2, WORD code) {
    HWND folderBox = GetDlgItem(dialog, IDC_PLUGIN_DIR);
    HWND subBox = GetDlgItem(dialog, IDC_SUB_DIR);
    wchar_t folder[kPathSize];
    bool haveFolder;
    if (code == CBN_SELCHANGE) {
        LRESULT item = SendMessageW(folderBox, CB_GETCURSEL, 0, 0);
        LRESULT length = item == CB_ERR ? CB_ERR : SendMessageW(folderBox, CB_GETLBTEXTLEN, item, 0);
        haveFolder = length != CB_ERR && length < static_cast<LRESULT>(kPathSize) &&
                     SendMessageW(folderBox, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(folder)) != CB_ERR;
    } else {
        GetWindowTextW(folderBox, folder, kPathSize);
        haveFolder = true;
    }
    // Emptying the box and adding thousands of items one by one would repaint
    // it each time: it is repainted once, at the end.
    SendMessageW(subBox, WM_SETREDRAW, FALSE, 0);
    SendMessageW(subBox, CB_RESETCONTENT, 0, 0);
    wchar_t pattern[kPathSize];
    HANDLE listing = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW found;
    if (haveFolder && ComposeListingPattern(folder, kPathSize, pattern, kPathSize) && _waccess(folder, 0) == 0)
        listing = FindFirstFileW(pattern, &found);
    if (listing != INVALID_HANDLE_VALUE) {
        SubFolderPick pick;
        do {
            if (!IsListedSubFolder(found.dwFileAttributes, found.cFileName)) continue;
            SendMessageW(subBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
            AddListedSubFolder(&pick, found.cFileName, preferred1, preferred2);
        } while (FindNextFileW(listing, &found));
        FindClose(listing);
        SendMessageW(subBox, CB_SETCURSEL, PickedSubFolder(pick), 0);
    }
    SendMessageW(subBox, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(subBox, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void SelectPreferredSubFolder(HWND dialog, const PlugInEntry* entry) {
    if (!entry) return;
    HWND subBox = GetDlgItem(dialog, IDC_SUB_DIR);
    LRESULT count = SendMessageW(subBox, CB_GETCOUNT, 0, 0);
    if (count == CB_ERR || count <= 0) return;
    const ItemPrefixMatcher matcher{subBox, StartsWithItem};
    int item = FindPreferredSubFolderItem(static_cast<int>(count), matcher, entry->SubDir1, entry->SubDir2);
    if (item >= 0) SendMessageW(subBox, CB_SETCURSEL, item, 0);
}

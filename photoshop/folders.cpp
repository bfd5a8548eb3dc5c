#include "photoshop/folders.h"

#include <io.h>

#include "common/control_ids.h"
#include "common/registry_text.h"
#include "common/texts.h"
#include "common/wide_text.h"
#include "photoshop/folders_logic.h"

namespace {

constexpr DWORD kVersionKeyNameSize = 32;

// The first plug-in folder name that exists under the install folder.
bool FindPlugInFolderOf(const wchar_t* installPath, wchar_t (&folder)[kPathSize]) {
    for (const wchar_t* name : kPlugInFolderNames)
        if (ComposePlugInFolderCandidate(installPath, name, folder, kPathSize) && _waccess(folder, 0) == 0)
            return true;
    return false;
}

// Whether the folder equals one of the list's first `count` folders.
bool IsListed(const PlugInFolderList& list, size_t count, const wchar_t* folder) {
    for (size_t item = 0; item < count; ++item)
        if (SamePlugInFolder(list.folders[item], folder)) return true;
    return false;
}

// Lists the plug-in folder of each version key in one registry view, in the
// registry's order. A key that cannot be used (one an uninstaller left behind,
// or a name longer than the buffer) is skipped: keys enumerate in text order,
// so stopping there would hide every newer version after an old leftover. A
// folder equal to one of the list's first `known` items is left out; the
// view's own repeats stay, as they always have.
void AddPlugInFoldersOfView(PlugInFolderList* list, REGSAM view, size_t known) {
    HKEY root;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPhotoshopKey, 0, KEY_READ | view, &root) != ERROR_SUCCESS) return;
    for (DWORD index = 0; list->count < kMaxPlugInFolders; ++index) {
        wchar_t name[kVersionKeyNameSize];
        DWORD nameSize = kVersionKeyNameSize;
        const LONG enumerated = RegEnumKeyExW(root, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (enumerated == ERROR_MORE_DATA) continue;
        if (enumerated != ERROR_SUCCESS) break;
        HKEY version;
        if (RegOpenKeyExW(root, name, 0, KEY_READ | view, &version) != ERROR_SUCCESS) continue;
        // One more than a path: the longest path with a backslash already closing it.
        wchar_t installPath[kPathSize + 1];
        bool readable = ReadRegistryText(version, kApplicationPathValue, installPath, kPathSize + 1);
        RegCloseKey(version);
        wchar_t folder[kPathSize];
        if (readable && FindPlugInFolderOf(installPath, folder) && !IsListed(*list, known, folder))
            WideCopy(list->folders[list->count++], kPathSize, folder);
    }
    RegCloseKey(root);
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

bool ReadFolderBoxText(HWND dialog, int id, wchar_t* out, size_t size) {
    HWND box = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(box);
    if (length < 0 || static_cast<size_t>(length) >= size) return false;
    GetWindowTextW(box, out, static_cast<int>(size));
    return true;
}

bool FindRegistryPlugInFolders(PlugInFolderList** out) {
    auto* list = static_cast<PlugInFolderList*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PlugInFolderList)));
    *out = list;
    if (!list) return false;
    // The 32-bit view first, as the program has always read it; then the
    // 64-bit view, the only one where 64-bit editors keep their version keys.
    // On 32-bit Windows both name the one registry, and the second adds nothing.
    AddPlugInFoldersOfView(list, KEY_WOW64_32KEY, 0);
    AddPlugInFoldersOfView(list, KEY_WOW64_64KEY, list->count);
    return true;
}

bool FindPlugInFolders(HWND dialog) {
    HWND box = GetDlgItem(dialog, IDC_PLUGIN_DIR);
    PlugInFolderList* list;
    if (!FindRegistryPlugInFolders(&list)) return false;
    for (size_t i = 0; i < list->count; ++i)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list->folders[i]));
    const bool added = list->count > 0;
    HeapFree(GetProcessHeap(), 0, list);
    if (added) SendMessageW(box, CB_SETCURSEL, 0, 0);
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
        haveFolder = ReadFolderBoxText(dialog, IDC_PLUGIN_DIR, folder, kPathSize);
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

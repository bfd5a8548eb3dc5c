#pragma once
#include <windows.h>

#include "catalog/catalog_logic.h"
#include "common/wide_text.h"

// The whole text of folder box `id` into `out` (`size` characters); false when
// it does not fit: cut, it would name another folder.
bool ReadFolderBoxText(HWND dialog, int id, wchar_t* out, size_t size);
// The plug-in folders the registry lists (both views, the 32-bit one first),
// as plain values, into `*list`; free it with HeapFree. False when there is
// no memory for it.
constexpr size_t kMaxPlugInFolders = 128;
struct PlugInFolderList {
    size_t count;
    wchar_t folders[kMaxPlugInFolders][kPathSize];
};
bool FindRegistryPlugInFolders(PlugInFolderList** list);
// Fills the plug-in folder list from the registry; true when it added any.
bool FindPlugInFolders(HWND dialog);
// Rebuilds the sub-folder list for the folder in the plug-in folder box. With
// CBN_SELCHANGE the selected item's text is the folder, else the edit text.
void ListSubFolders(HWND dialog, const wchar_t* preferred1, const wchar_t* preferred2, WORD code);
void SelectPreferredSubFolder(HWND dialog, const PlugInEntry* entry);

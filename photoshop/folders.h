// The editor's plug-in folders as plain values: those the registry lists, and
// the sub-folders of one.
#pragma once
#include <cstddef>

#include "common/wide_text.h"

// The plug-in folders the registry lists (both views, the 32-bit one first),
// as plain values, into `*list`; free it with FreePlugInFolderList. False when
// there is no memory for it.
constexpr size_t kMaxPlugInFolders = 128;
struct PlugInFolderList {
    size_t count;
    wchar_t folders[kMaxPlugInFolders][kPathSize];
};
bool FindRegistryPlugInFolders(PlugInFolderList** list);
void FreePlugInFolderList(PlugInFolderList* list);

// The sub-folders of a plug-in folder, in the listing's order, and the one
// to select: the first equal to a preferred name, else the first.
struct SubFolderList {
    wchar_t* names = nullptr;  // each name terminated, one after another
    size_t length = 0;         // characters of `names` in use
    size_t capacity = 0;
    int count = 0;
    int preferred = 0;
};
// Lists folder text `folder` (null: a text that did not fit, no folder) into
// `*list`; false when there is no folder to list. A list cut short by want of
// memory holds the names read until then. Free with FreeSubFolderList.
bool ListSubFolderNames(const wchar_t* folder, const wchar_t* preferred1, const wchar_t* preferred2,
                        SubFolderList* list);
void FreeSubFolderList(SubFolderList* list);

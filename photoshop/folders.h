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

// Calls `add` with each sub-folder of folder text `folder` (null: a text that
// did not fit, no folder), in the listing's order, and gives the one to
// select: the first equal to a preferred name, else the first. False when
// there is no folder to list.
struct SubFolderSink {
    void* context;
    void (*add)(void* context, const wchar_t* name);
};
bool ListSubFolderNames(const wchar_t* folder, const wchar_t* preferred1, const wchar_t* preferred2,
                        const SubFolderSink& sink, int* preferred);

// Rules for the plug-in folder list and the sub-folder list. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

// The plug-in folder names looked for under an install folder, preferred first.
extern const wchar_t* const kPlugInFolderNames[2];

// installPath + a trailing backslash + folderName. False when it would not fit.
bool ComposePlugInFolderCandidate(const wchar_t* installPath, const wchar_t* folderName, wchar_t* out,
                                  size_t size);

// Whether two plug-in folders are the same as far as the list is concerned:
// equal with ASCII letters folded (as the program's other name comparisons
// fold) and one trailing backslash on either side ignored.
bool SamePlugInFolder(const wchar_t* a, const wchar_t* b);

// The listing pattern "<folder>\" + "\*", and the folder text with its trailing
// backslash ensured in `folder` itself. False when either would not fit.
bool ComposeListingPattern(wchar_t* folder, size_t folderSize, wchar_t* pattern, size_t patternSize);

// A listing entry belongs in the sub-folder list: a directory other than . and ..
bool IsListedSubFolder(uint32_t attributes, const wchar_t* name);

// The rebuild's rule: the first listed name equal to either preferred name,
// ASCII case folded; item 0 when none matches.
struct SubFolderPick {
    int preferred = -1;
    int next = 0;
};
void AddListedSubFolder(SubFolderPick* pick, const wchar_t* name, const wchar_t* preferred1,
                        const wchar_t* preferred2);
int PickedSubFolder(const SubFolderPick& pick);

// The catalog change's rule: the item that `name` begins, searched from item 1
// round to item 0, for preferred1 and then preferred2. An empty or absent name
// matches nothing. Returns -1 when neither is found.
struct ItemPrefixMatcher {
    void* context;
    bool (*startsWith)(void* context, int item, const wchar_t* prefix);
};
int FindPreferredSubFolderItem(int itemCount, const ItemPrefixMatcher& matcher, const wchar_t* preferred1,
                               const wchar_t* preferred2);

#include "photoshop/folders_logic.h"

#include "common/wide_text.h"
#include "photoshop/editor_locations.h"

const wchar_t* const kPlugInFolderNames[2] = {kChinesePlugInFolder, kPlugInFolder};

bool ComposePlugInFolderCandidate(const wchar_t* installPath, const wchar_t* folderName, wchar_t* out,
                                  size_t size) {
    return WideCopy(out, size, installPath) && EnsureTrailingBackslash(out, size) &&
           WideAppend(out, size, folderName);
}

static size_t LengthWithoutTrailingBackslash(const wchar_t* path) {
    size_t length = WideLength(path);
    return length && path[length - 1] == L'\\' ? length - 1 : length;
}

bool SamePlugInFolder(const wchar_t* a, const wchar_t* b) {
    const size_t length = LengthWithoutTrailingBackslash(a);
    if (LengthWithoutTrailingBackslash(b) != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

bool ComposeListingPattern(wchar_t* folder, size_t folderSize, wchar_t* pattern, size_t patternSize) {
    if (!EnsureTrailingBackslash(folder, folderSize)) return false;
    return WideCopy(pattern, patternSize, folder) && WideAppend(pattern, patternSize, L"\\*");
}

bool IsListedSubFolder(uint32_t attributes, const wchar_t* name) {
    const uint32_t kDirectory = 0x10;
    if (!(attributes & kDirectory)) return false;
    return !(name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2])));
}

static bool NameEquals(const wchar_t* name, const wchar_t* preferred) {
    return preferred && AsciiCaseCompare(name, preferred) == 0;
}

void AddListedSubFolder(SubFolderPick* pick, const wchar_t* name, const wchar_t* preferred1,
                        const wchar_t* preferred2) {
    if (pick->preferred < 0 && (NameEquals(name, preferred1) || NameEquals(name, preferred2)))
        pick->preferred = pick->next;
    ++pick->next;
}

int PickedSubFolder(const SubFolderPick& pick) { return pick.preferred < 0 ? 0 : pick.preferred; }

static int FindByPrefix(int itemCount, const ItemPrefixMatcher& matcher, const wchar_t* name) {
    if (!name || !name[0]) return -1;
    for (int step = 1; step <= itemCount; ++step) {
        int item = step % itemCount;
        if (matcher.startsWith(matcher.context, item, name)) return item;
    }
    return -1;
}

int FindPreferredSubFolderItem(int itemCount, const ItemPrefixMatcher& matcher, const wchar_t* preferred1,
                               const wchar_t* preferred2) {
    int item = FindByPrefix(itemCount, matcher, preferred1);
    return item >= 0 ? item : FindByPrefix(itemCount, matcher, preferred2);
}

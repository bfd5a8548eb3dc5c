#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "common/wide_text.h"
#include "photoshop/folders_logic.h"

TEST(PlugInFolders, CandidatesJoinTheInstallFolderWithOneBackslash) {
    EXPECT_EQ(std::wstring(kPlugInFolderNames[0]), L"增效工具");  // preferred first
    EXPECT_EQ(std::wstring(kPlugInFolderNames[1]), L"Plug-Ins");
    std::vector<wchar_t> out(kPathSize);
    for (const wchar_t* install : {L"C:\\PS", L"C:\\PS\\"}) {
        ASSERT_TRUE(ComposePlugInFolderCandidate(install, L"增效工具", out.data(), kPathSize));
        EXPECT_EQ(std::wstring(out.data()), L"C:\\PS\\增效工具") << "from " << testing::PrintToString(install);
    }
    // 250 + a backslash + 8 is the most that a path buffer holds.
    EXPECT_TRUE(ComposePlugInFolderCandidate(std::wstring(250, L'x').c_str(), L"Plug-Ins", out.data(), kPathSize));
    EXPECT_FALSE(ComposePlugInFolderCandidate(std::wstring(251, L'x').c_str(), L"Plug-Ins", out.data(), kPathSize));
    EXPECT_FALSE(ComposePlugInFolderCandidate(std::wstring(259, L'x').c_str(), L"Plug-Ins", out.data(), kPathSize));
}

// A 64-bit-view folder is left out when it equals one already listed.
TEST(PlugInFolders, SameFolderFoldsAsciiCaseAndIgnoresOneTrailingBackslash) {
    struct Case { const wchar_t *a, *b; bool same; };
    const Case cases[] = {
        {L"C:\\PS\\Plug-Ins", L"C:\\PS\\Plug-Ins", true},
        {L"C:\\PS\\Plug-Ins", L"c:\\ps\\PLUG-INS", true},
        {L"C:\\PS\\增效工具\\", L"C:\\PS\\增效工具", true},
        {L"C:\\PS\\Plug-Ins", L"C:\\PS\\Plug-Ins\\", true},
        {L"C:\\PS\\Plug-Ins\\\\", L"C:\\PS\\Plug-Ins", false},  // one backslash only
        {L"C:\\PS\\Plug-Ins", L"C:\\PS\\Plug-In", false},
        {L"C:\\PS\\Plug-Ins", L"C:\\PS2\\Plug-Ins", false},
        {L"C:\\PS\\Plug-Ins", L"C:\\PS\\增效工具", false},
        {L"C:\\Été\\Plug-Ins", L"C:\\été\\Plug-Ins", false},  // ASCII letters only
        {L"C:\\PS\\Plug-Ins", L"C:/PS/Plug-Ins", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SamePlugInFolder(c.a, c.b), c.same) << testing::PrintToString(c.a) << " " << testing::PrintToString(c.b);
        EXPECT_EQ(SamePlugInFolder(c.b, c.a), c.same) << testing::PrintToString(c.b) << " " << testing::PrintToString(c.a);
    }
}

TEST(SubFolderList, ListingPatternEndsInTwoBackslashesAndAStar) {
    std::vector<wchar_t> folder(kPathSize), pattern(kPathSize);
    for (const wchar_t* text : {L"C:\\PS\\Plug-Ins", L"C:\\PS\\Plug-Ins\\"}) {
        WideCopy(folder.data(), kPathSize, text);
        ASSERT_TRUE(ComposeListingPattern(folder.data(), kPathSize, pattern.data(), kPathSize));
        EXPECT_EQ(std::wstring(folder.data()), L"C:\\PS\\Plug-Ins\\");
        EXPECT_EQ(std::wstring(pattern.data()), L"C:\\PS\\Plug-Ins\\\\*");
    }
    // 256 characters: folder 257, pattern 259; 257 needs 260; at 259 not even the backslash fits.
    for (size_t length : {256, 257, 259}) {
        WideCopy(folder.data(), kPathSize, std::wstring(length, L'x').c_str());
        EXPECT_EQ(ComposeListingPattern(folder.data(), kPathSize, pattern.data(), kPathSize), length == 256) << length;
    }
}

TEST(SubFolderList, OnlyDirectoriesOtherThanDotAndDotDotAreListed) {
    struct Case { uint32_t attributes; const wchar_t* name; bool listed; };  // 0x10 directory, 0x06 hidden system
    const Case cases[] = {{0x16, L"Filters", true}, {0x10, L"...", true}, {0x10, L".x", true},
                          {0x20, L"Filters.8bf", false}, {0x10, L".", false}, {0x10, L"..", false}};
    for (const Case& c : cases)
        EXPECT_EQ(IsListedSubFolder(c.attributes, c.name), c.listed) << testing::PrintToString(c.name);
}

namespace {

// A combo box's case-insensitive prefix search that records the items it is asked about.
struct FakeList {
    std::vector<std::wstring> items;
    std::vector<int> probed;

    static bool StartsWith(void* context, int item, const wchar_t* prefix) {
        auto* list = static_cast<FakeList*>(context);
        list->probed.push_back(item);
        const std::wstring& text = list->items.at(item);
        for (size_t i = 0; prefix[i]; ++i)
            if (i >= text.size() || std::towlower(text[i]) != std::towlower(prefix[i])) return false;
        return true;
    }
    int Find(const wchar_t* preferred1, const wchar_t* preferred2) {
        return FindPreferredSubFolderItem(static_cast<int>(items.size()), {this, StartsWith}, preferred1, preferred2);
    }
};

}  // namespace

// A rebuild picks the first listed whole-name match of either name, else item 0; a catalog change
// picks what the first name, else the second, begins, searching from item 1 round to item 0, else -1.
TEST(SubFolderList, RebuildMatchesWholeNamesCatalogChangeMatchesPrefixes) {
    struct Case { const char* name; std::vector<std::wstring> items; const wchar_t *first, *second;
                  int rebuild, change; };
    const Case cases[] = {
        {"case folded", {L"Effects", L"Filters", L"Import-Export"}, L"filters", L"", 1, 1},
        {"earlier listed or first name", {L"Effects", L"Filters"}, L"Filters", L"Effects", 0, 1},
        {"prefix", {L"Effects", L"Filters"}, L"Filter", L"", 0, 1},
        {"second name", {L"Filters", L"Effects", L"Import"}, L"Blur", L"effects", 1, 1},
        {"repeated name", {L"Filters", L"filters"}, L"FILTERS", L"", 0, 1},
        {"only item", {L"Effects"}, L"Eff", L"effects", 0, 0},
        {"empty names", {L"Effects", L"Filters"}, L"", L"", 0, -1},
        {"absent names", {L"Effects", L"Filters"}, nullptr, nullptr, 0, -1},
        {"no match", {L"Effects", L"Filters"}, L"Blur", L"Sharpen", 0, -1},
        {"empty list", {}, L"Filters", L"Effects", 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SubFolderPick pick;
        for (const std::wstring& item : c.items) AddListedSubFolder(&pick, item.c_str(), c.first, c.second);
        EXPECT_EQ(PickedSubFolder(pick), c.rebuild);
        FakeList list{c.items, {}};
        EXPECT_EQ(list.Find(c.first, c.second), c.change);
    }
    SubFolderPick pick;  // a rebuild folds ASCII letters only
    for (const wchar_t* item : {L"Effects", L"ÄRGER", L"增效"}) AddListedSubFolder(&pick, item, L"ärger", L"增效");
    EXPECT_EQ(PickedSubFolder(pick), 2);
}

TEST(SubFolderList, CatalogChangeSearchOrder) {
    FakeList list{{L"A", L"B", L"C"}, {}};
    EXPECT_EQ(list.Find(L"X", L"Y"), -1);
    EXPECT_EQ(list.probed, (std::vector<int>{1, 2, 0, 1, 2, 0}));
    list.probed.clear();
    EXPECT_EQ(list.Find(L"", L"Y"), -1);  // the empty name is never searched
    EXPECT_EQ(list.probed, (std::vector<int>{1, 2, 0}));
}

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "common/wide_text.h"
#include "photoshop/folders_logic.h"

TEST(PlugInFolders, CandidatesJoinTheInstallFolderWithOneBackslash) {
    EXPECT_EQ(std::wstring(kPlugInFolderNames[0]), L"增效工具");  // preferred first
    EXPECT_EQ(std::wstring(kPlugInFolderNames[1]), L"Plug-Ins");
    for (const wchar_t* install : {L"C:\\PS", L"C:\\PS\\"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(install)));
        wchar_t out[kPathSize];
        ASSERT_TRUE(ComposePlugInFolderCandidate(install, kPlugInFolderNames[0], out, kPathSize));
        EXPECT_EQ(std::wstring(out), L"C:\\PS\\增效工具");
        ASSERT_TRUE(ComposePlugInFolderCandidate(install, L"Plug-Ins", out, kPathSize));
        EXPECT_EQ(std::wstring(out), L"C:\\PS\\Plug-Ins");
    }
}

TEST(PlugInFolders, CandidateThatWouldNotFitIsRefused) {
    // 250 + backslash + 8 = 259 characters: the most a 260 buffer holds.
    std::vector<wchar_t> out(kPathSize);
    EXPECT_TRUE(ComposePlugInFolderCandidate(std::wstring(250, L'x').c_str(), L"Plug-Ins", out.data(), kPathSize));
    EXPECT_EQ(WideLength(out.data()), 259u);
    EXPECT_FALSE(ComposePlugInFolderCandidate(std::wstring(251, L'x').c_str(), L"Plug-Ins", out.data(), kPathSize));
    EXPECT_FALSE(ComposePlugInFolderCandidate(std::wstring(259, L'x').c_str(), L"Plug-Ins", out.data(), kPathSize));
}

TEST(SubFolderList, ListingPatternEndsInTwoBackslashesAndAStar) {
    struct Case {
        std::wstring folder;
        bool ok;
    } const cases[] = {
        {L"C:\\PS\\Plug-Ins", true},
        {L"C:\\PS\\Plug-Ins\\", true},
        {std::wstring(256, L'x'), true},   // folder 257, pattern 259
        {std::wstring(257, L'x'), false},  // pattern would need 260
        {std::wstring(259, L'x'), false},  // not even the backslash fits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.size());
        std::vector<wchar_t> folder(kPathSize), pattern(kPathSize);
        WideCopy(folder.data(), kPathSize, c.folder.c_str());
        EXPECT_EQ(ComposeListingPattern(folder.data(), kPathSize, pattern.data(), kPathSize), c.ok);
        if (!c.ok) continue;
        std::wstring withSlash = c.folder.back() == L'\\' ? c.folder : c.folder + L"\\";
        EXPECT_EQ(std::wstring(folder.data()), withSlash);
        EXPECT_EQ(std::wstring(pattern.data()), withSlash + L"\\*");
    }
}

TEST(SubFolderList, OnlyDirectoriesOtherThanDotAndDotDotAreListed) {
    const uint32_t dir = 0x10, hidden = 0x02, system = 0x04, archive = 0x20;
    EXPECT_TRUE(IsListedSubFolder(dir, L"Filters"));
    EXPECT_TRUE(IsListedSubFolder(dir | hidden | system, L"Filters"));
    EXPECT_TRUE(IsListedSubFolder(dir, L"..."));
    EXPECT_TRUE(IsListedSubFolder(dir, L".hidden"));
    EXPECT_FALSE(IsListedSubFolder(archive, L"Filters.8bf"));
    EXPECT_FALSE(IsListedSubFolder(dir, L"."));
    EXPECT_FALSE(IsListedSubFolder(dir, L".."));
}

TEST(SubFolderList, RebuildPicksTheFirstWholeNameMatchOrItemZero) {
    struct Case {
        const char* name;
        std::vector<const wchar_t*> listed;
        const wchar_t *preferred1, *preferred2;
        int expect;
    } const cases[] = {
        {"ASCII case folded", {L"Effects", L"Filters", L"Import-Export"}, L"filters", L"", 1},
        {"second name listed earlier wins", {L"Effects", L"Filters"}, L"Filters", L"Effects", 0},
        {"prefix is not enough", {L"Effects", L"Filters"}, L"Filter", L"", 0},
        {"later match keeps the first", {L"Effects", L"filters", L"FILTERS"}, L"Filters", L"", 1},
        {"non-ASCII case not folded", {L"Effects", L"ÄRGER"}, L"ärger", L"", 0},
        {"non-ASCII exact", {L"Effects", L"增效"}, L"", L"增效", 1},
        {"no names given", {L"Effects", L"Filters"}, nullptr, nullptr, 0},
        {"empty list", {}, L"Filters", L"Effects", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SubFolderPick pick;
        for (const wchar_t* name : c.listed) AddListedSubFolder(&pick, name, c.preferred1, c.preferred2);
        EXPECT_EQ(PickedSubFolder(pick), c.expect);
    }
}

namespace {

// A combo box's case-insensitive prefix search, recording the items it is asked about.
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
        return FindPreferredSubFolderItem(static_cast<int>(items.size()), {this, StartsWith}, preferred1,
                                          preferred2);
    }
};

}  // namespace

TEST(SubFolderList, CatalogChangeFindsAPrefixFromItemOneRoundToItemZero) {
    struct Case {
        const char* name;
        std::vector<std::wstring> items;
        const wchar_t *preferred1, *preferred2;
        int expect;
    } const cases[] = {
        {"prefix", {L"Effects", L"Filters", L"Import-Export"}, L"filter", L"", 1},
        {"first name first", {L"Effects", L"Filters"}, L"Filters", L"Effects", 1},
        {"second name when first missing", {L"Effects", L"Filters"}, L"Blur", L"Effects", 0},
        {"search starts at item 1", {L"Filters", L"Filters Old"}, L"Filters", L"", 1},
        {"single item", {L"Effects"}, L"eff", nullptr, 0},
        {"empty names match nothing", {L"Effects", L"Filters"}, L"", L"", -1},
        {"absent first name", {L"Effects", L"Filters", L"Import"}, nullptr, L"imp", 2},
        {"nothing found", {L"Effects", L"Filters"}, L"Blur", L"Sharpen", -1},
        {"empty list", {}, L"Filters", L"Effects", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeList list{c.items, {}};
        EXPECT_EQ(list.Find(c.preferred1, c.preferred2), c.expect);
    }
}

TEST(SubFolderList, CatalogChangeSearchOrder) {
    FakeList list{{L"A", L"B", L"C"}, {}};
    EXPECT_EQ(list.Find(L"X", L"Y"), -1);
    EXPECT_EQ(list.probed, (std::vector<int>{1, 2, 0, 1, 2, 0}));

    list.probed.clear();
    EXPECT_EQ(list.Find(L"", L"Y"), -1);  // the empty name is never searched
    EXPECT_EQ(list.probed, (std::vector<int>{1, 2, 0}));
}

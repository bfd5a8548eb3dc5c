#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "catalog/check_logic.h"
#include "common/program_path_logic.h"

namespace {

TEST(Check, EncodingIsJudgedFromTheBytes) {
    struct Case { std::string bytes; CatalogEncoding expect; };
    const Case cases[] = {
        {"", CatalogEncoding::Ascii},
        {"[PlugInInfo]\r\nCount=1\r\n", CatalogEncoding::Ascii},
        {std::string("\xFF\xFE[\0", 4), CatalogEncoding::Utf16LeBom},
        {std::string("\xFE\xFF\0[", 4), CatalogEncoding::Utf16BeBom},
        {"\xEF\xBB\xBFName=x", CatalogEncoding::Utf8Bom},
        {"Name=\xE9\x94\x90\xE5\x8C\x96", CatalogEncoding::Utf8},  // 锐化
        {"Name=\xC8\xF1\xBB\xAF", CatalogEncoding::CodePage},       // 锐化 in code page 936
        {"Name=caf\xE9", CatalogEncoding::CodePage},                // 1252
        {"Name=\xC0\xAF", CatalogEncoding::CodePage},               // an overlong '/'
        {"Name=\xED\xA0\x80x", CatalogEncoding::CodePage},          // a surrogate
        {std::string("[\0P\0", 4), CatalogEncoding::Utf16NoBom},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(SniffCatalogEncoding(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size()),
                  c.expect);
    }
}

TEST(Check, SrcFileMustStayInTheFolder) {
    const wchar_t* inside[] = {L"Sharpen.8bf", L"sub\\Sharpen.8bf", L"sub/x.8bf", L"./x.8bf", L"..x.8bf",
                               L"x..8bf", L"a.b\\c"};
    const wchar_t* outside[] = {L"", L"..\\x.8bf", L"../x.8bf", L"sub\\..\\..\\x", L"sub/..", L"..",
                                L"\\x.8bf", L"/x.8bf", L"\\\\server\\share\\x", L"C:\\x.8bf", L"C:x.8bf",
                                L"x.8bf:stream", L"... \\x", L". .\\x"};
    for (const wchar_t* name : inside) EXPECT_TRUE(IsSafeRelativeFileName(name)) << name;
    for (const wchar_t* name : outside) EXPECT_FALSE(IsSafeRelativeFileName(name)) << name;
    EXPECT_TRUE(SameSrcFile(L"Sub/Sharpen.8BF", L"sub\\sharpen.8bf"));
    EXPECT_FALSE(SameSrcFile(L"Sharpen.8bf", L"Sharpen.8bf "));
    EXPECT_FALSE(SameSrcFile(L"锐化.8bf", L"锐化.8bfx"));
    EXPECT_TRUE(ValueWasCut(L"abcd", L"abc") && !ValueWasCut(L"abc", L"abc") && !ValueWasCut(L"", L""));
}

// A folder: its catalog values and files, read as the profile functions do.
struct FakeFolder {
    long count = 0;
    std::map<std::wstring, std::wstring> values;  // "section/key" -> value
    std::map<std::wstring, FolderItem> items;     // SrcFile -> what lies there
    std::map<std::wstring, std::wstring> versions;
    std::vector<void*> blocks;
    std::vector<std::wstring> lines, files;
    ~FakeFolder() {
        for (void* block : blocks) std::free(block);
    }
    static FakeFolder& Of(void* context) { return *static_cast<FakeFolder*>(context); }
    static void Copy(wchar_t* out, size_t size, const std::wstring& text) {
        out[text.copy(out, std::min(text.size(), size - 1))] = 0;
    }
    std::vector<std::wstring> Check() {
        CatalogSource catalog{this,
                              [](void* c) { return Of(c).count; },
                              [](void* c, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                                 wchar_t* out, size_t size) {
                                  auto found = Of(c).values.find(std::wstring(section) + L"/" + key);
                                  Copy(out, size, found != Of(c).values.end() ? found->second : fallback);
                              },
                              [](void* c, const wchar_t* srcFile, wchar_t* out, size_t size) {
                                  auto found = Of(c).versions.find(srcFile);
                                  if (found == Of(c).versions.end()) return 0;
                                  Copy(out, size, found->second);
                                  return 1;
                              },
                              [](void* c, uint64_t bytes) -> void* {
                                  if (bytes > (1u << 20)) return nullptr;
                                  Of(c).blocks.push_back(std::calloc(1, bytes));
                                  return Of(c).blocks.back();
                              },
                              SIZE_MAX};
        auto item = [](void* c, const wchar_t* srcFile) {
            auto found = Of(c).items.find(srcFile);
            return found != Of(c).items.end() ? found->second : FolderItem::Missing;
        };
        CheckReport report{this, [](void* c, bool error, const wchar_t* text) {
                               Of(c).lines.push_back((error ? L"E " : L"W ") + std::wstring(text));
                           }, 0, 0, 0};
        CheckPlugInCatalog({catalog, item}, report, [](void* c, const wchar_t* f) { Of(c).files.push_back(f); });
        wchar_t summary[128];
        FormatCheckSummary(report, summary, 128);
        lines.push_back(summary);
        return lines;
    }
};

TEST(Check, CountWithoutEntriesIsAnError) {
    struct Case { long count; std::map<std::wstring, std::wstring> values; const wchar_t* expect; };
    const Case cases[] = {
        {0, {}, L"E no entries: [PlugInInfo] has no Count"},
        {0, {{L"PlugInInfo/Count", L"three"}}, L"E no entries: Count is \"three\""},
        {2, {{L"PlugInInfo/Count", L"2"}, {L"PlugInInfo/PlugIn1", L""}},
         L"E no entries: Count is 2 but no PlugInN key names a section"},
        {5000, {}, L"E Count 5000 is more entries than the installer can hold: it says it is out of memory"},
    };
    for (const Case& c : cases) {
        FakeFolder folder;
        folder.count = c.count;
        folder.values = c.values;
        std::vector<std::wstring> lines = folder.Check();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], c.expect);
        EXPECT_EQ(lines[1], std::wstring(c.count == 2 ? L"2 entries" : L"0 entries") + L", 1 error, 0 warnings");
    }
}

TEST(Check, EachEntryIsCheckedAsTheInstallerReadsIt) {
    FakeFolder folder;
    folder.count = 13;  // PlugIn12 and PlugIn13 are not written
    const std::wstring longSection(130, L's'), cutSection(127, L's');
    folder.values = {
        {L"PlugInInfo/PlugIn1", L"Good"},     {L"PlugInInfo/PlugIn3", L"Gone"},
        {L"PlugInInfo/PlugIn4", longSection}, {L"PlugInInfo/PlugIn5", L"Bare"},
        {L"PlugInInfo/PlugIn6", L"Out"},      {L"PlugInInfo/PlugIn7", L"Dir"},
        {L"PlugInInfo/PlugIn8", L"Good"},     {L"PlugInInfo/PlugIn9", L"Empty"},
        {L"PlugInInfo/PlugIn10", L"Lost"},    {L"Lost/SrcFile", L"Lost.8bf"},
        {L"Lost/SubDir2", L"b"},
        {L"Good/Name", L"锐化"},              {L"Good/SrcFile", L"Good.8bf"},
        {L"Good/SubDir1", L"Filters"},        {L"Good/Description", std::wstring(300, L'd')},
        {cutSection + L"/Name", std::wstring(70, L'n')}, {cutSection + L"/SrcFile", L"Plain.8bf"},
        {cutSection + L"/SubDir2", L"Effects"},          {L"Bare/Description", L"x"},
        {L"Out/Name", L"o"},                  {L"Out/SrcFile", L"..\\Out.8bf"},
        {L"Out/SubDir1", L"a"},               {L"Dir/Name", L"d"},
        {L"Dir/SrcFile", L"Sub"},
        {L"PlugInInfo/PlugIn11", L"Deep"},
        {L"Deep/Name", L"p"},                 {L"Deep/SrcFile", L"Sub/Deep.8bf"},
        {L"Deep/SubDir1", L"a"},             {L"Dir/SubDir1", L"a"},
        {L"Empty/Name", L"e"},                {L"Empty/SrcFile", L""},
        {L"Empty/SubDir1", L"a"},
    };
    folder.items = {{L"Good.8bf", FolderItem::File}, {L"Plain.8bf", FolderItem::File}, {L"Sub", FolderItem::Folder},
                    {L"Sub/Deep.8bf", FolderItem::File}};
    folder.versions[L"Sub/Deep.8bf"] = L"2.0";
    folder.versions[L"Good.8bf"] = L"1.0";
    const std::vector<std::wstring> expect = {
        L"W Count is 13 but the last PlugInN key is PlugIn11: entries 12 to 13 show [未知]",
        L"W entry 1 [Good]: Description has 300 characters; the installer keeps 255: \"" + std::wstring(255, L'd') +
            L"\"",
        L"E entry 2: PlugIn2 is missing or empty: every value takes its default ([未知])",
        L"E entry 3 [Gone]: the section is missing or holds none of Name, SrcFile, SubDir1, SubDir2, Description: "
        L"every value takes its default ([未知])",
        L"W entry 4 [" + cutSection + L"]: PlugIn4 names a section of 130 characters; the installer reads the first "
                                      L"127, which may name another section",
        L"W entry 4 [" + cutSection + L"]: Name has 70 characters; the installer keeps 63: \"" +
            std::wstring(63, L'n') + L"\"",
        L"W entry 4 [" + cutSection + L"]: \"Plain.8bf\" has no version text: the installer shows [NO VERSION]",
        L"W entry 5 [Bare]: no Name: the list shows [未知]",
        L"E entry 5 [Bare]: no SrcFile: the installer looks for a file named [未知]",
        L"W entry 5 [Bare]: neither SubDir1 nor SubDir2: no sub-folder is preselected",
        L"E entry 6 [Out]: SrcFile \"..\\Out.8bf\" leaves the folder",
        L"E entry 7 [Dir]: SrcFile \"Sub\" is a folder, not a file",
        L"W entry 8 [Good]: Description has 300 characters; the installer keeps 255: \"" + std::wstring(255, L'd') +
            L"\"",
        L"W entry 8 [Good]: SrcFile \"Good.8bf\" is also entry 1's: one installs over the other",
        L"E entry 9 [Empty]: SrcFile is empty",
        L"W entry 10 [Lost]: no Name: the list shows [未知]",
        L"E entry 10 [Lost]: SrcFile \"Lost.8bf\" is missing beside the catalog",
        L"W entry 11 [Deep]: SrcFile \"Sub/Deep.8bf\" names a sub-folder: the installer copies it into a folder "
        L"of that name, which must already exist where it installs",
        L"13 entries, 7 errors, 11 warnings",
    };
    std::vector<std::wstring> lines = folder.Check();
    for (size_t i = 0; i < std::max(lines.size(), expect.size()); ++i)
        EXPECT_EQ(i < lines.size() ? lines[i] : L"", i < expect.size() ? expect[i] : L"") << i;
    EXPECT_EQ(folder.files, (std::vector<std::wstring>{L"Good.8bf", L"Plain.8bf", L"Sub/Deep.8bf"}));
}

}  // namespace

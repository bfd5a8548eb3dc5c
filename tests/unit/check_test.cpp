#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "check/check_logic.h"
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
    std::map<std::wstring, PlugInFileState> items;  // SrcFile -> what opening it meets
    std::map<std::wstring, std::wstring> versions;
    std::vector<void*> blocks;
    std::vector<std::wstring> lines, files;
    std::map<std::wstring, PeImageInfo> images;  // when set, SrcFile -> its headers; others are no image
    // When set, the catalog file: its values, Count, index keys and lines.
    std::wstring text, listing;
    std::vector<CatalogLine> scanned;
    std::vector<size_t> sections;
    CatalogText catalogText{};
    ~FakeFolder() {
        for (void* block : blocks) std::free(block);
    }
    static FakeFolder& Of(void* context) { return *static_cast<FakeFolder*>(context); }
    static void Copy(wchar_t* out, size_t size, const std::wstring& text) {
        out[text.copy(out, std::min(text.size(), size - 1))] = 0;
    }
    void Load() {
        scanned.resize(ScanCatalogText(text.data(), text.size(), nullptr, 0));
        ScanCatalogText(text.data(), text.size(), scanned.data(), scanned.size());
        sections.resize(scanned.size());
        catalogText = {scanned.data(), scanned.size(), sections.data(), 0};
        IndexCatalogSections(catalogText);
        std::wstring section;
        for (const CatalogLine& line : scanned) {
            const std::wstring name(line.name, line.nameLength);
            if (line.section) section = name;
            else if (line.value) values.emplace(section + L"/" + name, std::wstring(line.value, line.valueLength));
            if (!line.section && section == L"PlugInInfo") listing += name + L'\0';
        }
        listing += L'\0';
        auto written = values.find(L"PlugInInfo/Count");
        count = written == values.end() ? 0 : std::wcstol(written->second.c_str(), nullptr, 10);
    }
    std::vector<std::wstring> Check() {
        if (!text.empty()) Load();
        CatalogSource catalog{this,
                              [](void* c) { return Of(c).count; },
                              [](void* c, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                                 wchar_t* out, size_t size) {
                                  auto found = Of(c).values.find(std::wstring(section) + L"/" + key);
                                  Copy(out, size, found != Of(c).values.end() ? found->second : fallback);
                              },
                              [](void* c, const wchar_t* srcFile, wchar_t* out, size_t size) {
                                  auto found = Of(c).versions.find(srcFile);
                                  if (found == Of(c).versions.end()) return false;
                                  Copy(out, size, found->second);
                                  return true;
                              },
                              [](void* c, uint64_t bytes) -> void* {
                                  if (bytes > (1u << 20)) return nullptr;
                                  Of(c).blocks.push_back(std::calloc(1, bytes));
                                  return Of(c).blocks.back();
                              },
                              SIZE_MAX};
        if (!text.empty()) catalog.listIndexKeys = [](void* c) { return Of(c).listing.c_str(); };
        auto open = [](void* c, const wchar_t* srcFile, PlugInFile* file) {
            auto found = Of(c).items.find(srcFile);
            file->state = found != Of(c).items.end() ? found->second : PlugInFileState::Missing;
            file->code = file->state == PlugInFileState::Outside ? 123 : 5;
            auto image = Of(c).images.find(srcFile);
            file->image = Of(c).images.empty() ? PlugInImage::NotChecked
                          : image != Of(c).images.end() ? PlugInImage::Image : PlugInImage::NotImage;
            if (image != Of(c).images.end()) file->info = image->second;
        };
        CheckReport report{this, [](void* c, bool error, long line, const wchar_t* text) {
                               Of(c).lines.push_back((error ? L"E " : L"W ") +
                                                     (line ? std::to_wstring(line) + L": " : L"") + text);
                           }, 0, 0, 0};
        CheckSource source{catalog, open, text.empty() ? nullptr : &catalogText};
        CheckPlugInCatalog(source, report, [](void* c, const wchar_t* f, const wchar_t* machine) {
            Of(c).files.push_back(f + std::wstring(*machine ? L" " : L"") + machine);
        });
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
    folder.items = {{L"Good.8bf", PlugInFileState::Found}, {L"Plain.8bf", PlugInFileState::Found}, {L"Sub", PlugInFileState::FolderOrDenied},
                    {L"Sub/Deep.8bf", PlugInFileState::Found}};
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
        L"E entry 7 [Dir]: SrcFile \"Sub\" is a folder, or may not be read (system error 5)",
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

TEST(Check, CatalogTextIsScannedInEveryEncoding) {
    const char16_t text[] = u"; 注释\r\n\r\n[PlugInInfo]\nCount=1\r[锐化] ; x\r\n  SrcFile = a.8bf  \r\n# b=c\n[a]\n[A]";
    const char utf8[] = u8"; 注释\r\n\r\n[PlugInInfo]\nCount=1\r[锐化] ; x\r\n  SrcFile = a.8bf  \r\n# b=c\n[a]\n[A]";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (const char16_t* c = text; *c; ++c) {
        le += {static_cast<char>(*c & 0xFF), static_cast<char>(*c >> 8)};
        be += {static_cast<char>(*c >> 8), static_cast<char>(*c & 0xFF)};
    }
    // Code-page text goes to the system's decoder, here one that reads UTF-8.
    auto decoder = [](void* calls, const unsigned char* bytes, size_t size, wchar_t* out, size_t) {
        ++*static_cast<int*>(calls);
        size_t used = 0;
        for (size_t i = 0; i < size; ++used) {
            unsigned long c = bytes[i] < 0x80 ? bytes[i++] : 0;
            if (!c) c = ((bytes[i] & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) | (bytes[i + 2] & 0x3F), i += 3;
            out[used] = static_cast<wchar_t>(c);
        }
        return used;
    };
    for (const std::string& bytes : {le, be, "\xEF\xBB\xBF" + std::string(utf8), std::string(utf8)}) {
        int calls = 0;
        std::vector<wchar_t> decoded(bytes.size());
        decoded.resize(DecodeCatalogText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                         decoded.data(), decoded.size(), decoder, &calls));
        EXPECT_EQ(calls, bytes == utf8 ? 1 : 0);
        std::vector<CatalogLine> lines(ScanCatalogText(decoded.data(), decoded.size(), nullptr, 0));
        ASSERT_EQ(lines.size(), 6u);
        ScanCatalogText(decoded.data(), decoded.size(), lines.data(), lines.size());
        std::vector<size_t> sections(lines.size());
        CatalogText scanned{lines.data(), lines.size(), sections.data(), 0};
        IndexCatalogSections(scanned);
        const CatalogLine* section = FindCatalogSection(scanned, L"锐化");
        ASSERT_TRUE(section);
        const CatalogLine* key = FindCatalogKey(scanned, section, L"srcfile");
        ASSERT_TRUE(key);
        EXPECT_EQ(std::vector<long>({section->line, key->line, FindCatalogSection(scanned, L"A")->line}),
                  std::vector<long>({5, 6, 8}));
        EXPECT_EQ(std::wstring(key->value, key->valueLength), L"a.8bf");
        EXPECT_FALSE(FindCatalogKey(scanned, section, L"b") || FindCatalogSection(scanned, L"B"));
    }
}

TEST(Check, FindingsPointAtTheirLines) {
    struct Case { const wchar_t* text; std::vector<std::wstring> expect; };
    const Case cases[] = {
        {L"; 示例\n[PlugInInfo]\nCount=3\nPlugIn1=Blur\nPlugIn2=Vignette\nPlugIn3=Glow\n\n[Blur]\nName=Blur\n"
         L"SrcFile=NuBlurr.8bf\nSubDir1=Filters\n[Vignette]\nName=暗角 ; 以后改名\nSrcFlie=A.8bf\nSubDir1=Filters\n",
         {L"E 10: entry 1 [Blur]: SrcFile \"NuBlurr.8bf\" is missing beside the catalog",
          L"W 13: entry 2 [Vignette]: Name \"暗角 ; 以后改名\" has \";\" after a space: the installer takes it as part "
          L"of the value, not as a comment",
          L"E 12: entry 2 [Vignette]: no SrcFile: the installer looks for a file named [未知]",
          L"W 14: entry 2 [Vignette]: the installer does not know the key \"SrcFlie\"; the nearest known key is "
          L"SrcFile",
          L"E 6: entry 3 [Glow]: the section is missing or holds none of Name, SrcFile, SubDir1, SubDir2, "
          L"Description: every value takes its default ([未知])",
          L"3 entries, 3 errors, 2 warnings"}},
        {L"[PlugInInfo]\nCuont=1\nPlugIn01=A\n",
         {L"E 1: no entries: [PlugInInfo] has no Count",
          L"W 2: [PlugInInfo]: the installer does not know the key \"Cuont\"; the nearest known key is Count",
          L"W 3: [PlugInInfo]: the installer does not know the key \"PlugIn01\"; the nearest known key is PlugIn1",
          L"0 entries, 1 error, 2 warnings"}},
        // A tiny catalog with a huge Count: an error, and only the written entries are read.
        {L"[PlugInInfo]\nCount=3000000\nPlugIn1=A\nPlugIn2=A\nPlugIn3=A #\n[A]\nName=A\nSrcFile=A.8bf\nSubDir1=F\n",
         {L"E 2: Count 3000000 is more entries than a catalog may hold (100000): only the entries up to the last "
          L"PlugInN key are checked",
          L"W 8: entry 2 [A]: SrcFile \"A.8bf\" is also entry 1's: one installs over the other",
          L"W 5: entry 3: PlugIn3 \"A #\" has \"#\" after a space: the installer takes it as part of the value, not "
          L"as a comment",
          L"E 5: entry 3 [A #]: the section is missing or holds none of Name, SrcFile, SubDir1, SubDir2, "
          L"Description: every value takes its default ([未知])",
          L"3 entries, 2 errors, 2 warnings"}},
        // The installer's list ends at the last index key written, though it is empty.
        {L"[PlugInInfo]\nCount=3000000\nPlugIn1=A\nPlugIn2=\n[A]\nName=A\nSrcFile=A.8bf\nSubDir1=F\n",
         {L"E 2: Count 3000000 is more entries than a catalog may hold (100000): only the entries up to the last "
          L"PlugInN key are checked",
          L"E 4: entry 2: PlugIn2 is missing or empty: every value takes its default ([未知])",
          L"2 entries, 2 errors, 0 warnings"}},
    };
    for (const Case& c : cases) {
        FakeFolder folder;
        folder.text = c.text;
        folder.items = {{L"A.8bf", PlugInFileState::Found}};
        folder.versions[L"A.8bf"] = L"1.0";
        EXPECT_EQ(folder.Check(), c.expect);
    }
}

TEST(Check, MachineTypesAreNamedAndChecked) {
    const std::pair<uint16_t, const wchar_t*> names[] = {
        {0x14c, L"x86"}, {0x8664, L"x64"}, {0xaa64, L"ARM64"}, {0x1c4, L"0x01c4"}};
    for (const auto& name : names) {
        wchar_t text[16];
        MachineName(name.first, text, 16);
        EXPECT_STREQ(text, name.second);
    }
    // Not a DLL: a text file, an image that is a program. Nothing for x64 among the rest.
    FakeFolder folder;
    folder.text = L"[PlugInInfo]\nCount=5\nPlugIn1=A\nPlugIn2=B\nPlugIn3=C\nPlugIn4=D\nPlugIn5=E\n"
                  L"[A]\nSrcFile=a.8bf\n[B]\nSrcFile=b.8bf\n[C]\nSrcFile=c.8bf\n[D]\nSrcFile=d.8bf\n[E]\nSrcFile=e.8bf\n";
    for (const wchar_t* file : {L"a.8bf", L"b.8bf", L"c.8bf", L"d.8bf", L"e.8bf"}) {
        folder.items[file] = PlugInFileState::Found;
        folder.versions[file] = L"1";
    }
    folder.images = {{L"a.8bf", {0x14c, true, false}}, {L"b.8bf", {0xaa64, true, true}},
                     {L"c.8bf", {0x8664, false, true}}, {L"e.8bf", {0x1c4, true, false}}};
    std::vector<std::wstring> lines;
    for (const std::wstring& line : folder.Check())
        if (line.find(L"no Name") == std::wstring::npos && line.find(L"SubDir") == std::wstring::npos)
            lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::wstring>{
                         L"E 13: entry 3 [C]: SrcFile \"c.8bf\" is not a Windows DLL: no editor can load it",
                         L"E 15: entry 4 [D]: SrcFile \"d.8bf\" is not a Windows DLL: no editor can load it",
                         L"W no plug-in file is built for x64: a 64-bit editor on x64 Windows loads none of them",
                         L"5 entries, 2 errors, 11 warnings"}));
    EXPECT_EQ(folder.files, (std::vector<std::wstring>{L"a.8bf x86", L"b.8bf ARM64", L"e.8bf 0x01c4"}));
    // One x64 plug-in serves them.
    folder.images[L"c.8bf"].isDll = true;
    folder.lines.clear();
    folder.values.clear();
    folder.listing.clear();
    const std::vector<std::wstring> fixed = folder.Check();
    EXPECT_EQ(fixed.back(), L"5 entries, 1 error, 10 warnings");
    // So does an ARM64X one: x64 editors load its x64 half.
    folder.images[L"c.8bf"].isDll = false;
    folder.images[L"b.8bf"].arm64x = true;
    folder.lines.clear();
    folder.values.clear();
    folder.listing.clear();
    EXPECT_EQ(folder.Check().back(), L"5 entries, 2 errors, 10 warnings");
}

}  // namespace

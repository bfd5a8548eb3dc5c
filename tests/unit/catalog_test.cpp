#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "catalog/catalog_logic.h"
#include "catalog/profile_image_logic.h"

namespace {

const uint64_t kHeader = offsetof(PlugInCatalog, Entries);
const long kLargest32 = static_cast<long>((0xFFFFFFFFu - kHeader) / sizeof(PlugInEntry));
PlugInCatalog* const kUntouched = reinterpret_cast<PlugInCatalog*>(alignof(PlugInCatalog));

void CopyCut(wchar_t* out, size_t size, const std::wstring& text) {
    out[text.copy(out, std::min(text.size(), size - 1))] = 0;
}

// The catalog file, the version reader and the heap, recording how they are used.
struct FakeCatalogFile {
    long count = 0;
    std::map<std::wstring, std::wstring> values;    // "section/key" -> value
    std::map<std::wstring, std::wstring> versions;  // SrcFile -> version text
    bool allocationFails = false;
    const wchar_t* indexKeys = nullptr;  // what listIndexKeys returns
    std::vector<std::wstring> reads;  // "section/key", and "SrcFile:size" for versions
    std::vector<uint64_t> allocations;
    void* block = nullptr;
    ~FakeCatalogFile() { std::free(block); }

    static FakeCatalogFile& Of(void* context) { return *static_cast<FakeCatalogFile*>(context); }
    // Like GetPrivateProfileStringW: the fallback when missing, cut to size - 1.
    static void ReadString(void* context, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                           wchar_t* out, size_t size) {
        const std::wstring name = std::wstring(section) + L"/" + key;
        Of(context).reads.push_back(name);
        // Names match with ASCII case folded, as the profile reader's do.
        auto same = [&](const std::pair<const std::wstring, std::wstring>& value) {
            return std::equal(value.first.begin(), value.first.end(), name.begin(), name.end(),
                              [](wchar_t a, wchar_t b) { return towlower(a) == towlower(b); });
        };
        auto found = std::find_if(Of(context).values.begin(), Of(context).values.end(), same);
        CopyCut(out, size, found != Of(context).values.end() ? found->second : std::wstring(fallback));
    }
    static bool ReadVersion(void* context, const wchar_t* srcFile, wchar_t* out, size_t size) {
        Of(context).reads.push_back(srcFile + (L":" + std::to_wstring(size)));
        auto found = Of(context).versions.find(srcFile);
        if (found != Of(context).versions.end()) CopyCut(out, size, found->second);
        return found != Of(context).versions.end();
    }
    static void* Allocate(void* context, uint64_t bytes) {
        Of(context).allocations.push_back(bytes);
        if (Of(context).allocationFails || bytes > (1u << 20)) return nullptr;
        return Of(context).block = std::calloc(1, bytes);
    }
    CatalogLoad Load(PlugInCatalog** catalog, uint64_t sizeLimit = SIZE_MAX) {
        auto readCount = [](void* context) { return Of(context).count; };
        auto listIndexKeys = [](void* context) { return Of(context).indexKeys; };
        return ReadPlugInCatalog({this, readCount, ReadString, ReadVersion, Allocate, sizeLimit, listIndexKeys}, catalog);
    }
};

// The fields in their order, to compare an entry at once.
std::wstring Fields(const PlugInEntry& e) {
    std::wstring fields;
    for (const CatalogField& field : kCatalogFields) fields += (fields.empty() ? L"" : L"|") + std::wstring(FieldText(e, field));
    return fields;
}

}  // namespace

TEST(Catalog, BlockSizeIsTheCountWordPlusFixedEntries) {
    EXPECT_EQ(kHeader, 4u);
    EXPECT_EQ(sizeof(PlugInEntry), 640 * sizeof(wchar_t));
    EXPECT_EQ(CatalogBlockSize(3, kHeader + 3 * sizeof(PlugInEntry)), kHeader + 3 * sizeof(PlugInEntry));
    EXPECT_EQ(CatalogBlockSize(3, kHeader + 3 * sizeof(PlugInEntry) - 1), 0u);  // the count word counts too
    EXPECT_EQ(CatalogBlockSize(0, SIZE_MAX), 0u);
    EXPECT_EQ(CatalogBlockSize(kLargest32, 0xFFFFFFFFu), kHeader + kLargest32 * sizeof(PlugInEntry));
    EXPECT_EQ(CatalogBlockSize(kLargest32 + 1, 0xFFFFFFFFu), 0u);
    if (sizeof(wchar_t) == 2) {  // the entry size on Windows
        EXPECT_EQ(kLargest32 + 1, 3355444);
    }
}

TEST(Catalog, NoPositiveCountIsEmptyAndAnUnallocatableOneIsOutOfMemory) {
    struct Case { long count; uint64_t sizeLimit; CatalogLoad expect; size_t allocations; };
    const Case cases[] = {
        {0, SIZE_MAX, CatalogLoad::Empty, 0},           {-1, SIZE_MAX, CatalogLoad::Empty, 0},
        {LONG_MIN, SIZE_MAX, CatalogLoad::Empty, 0},    {2, SIZE_MAX, CatalogLoad::OutOfMemory, 1},
        {LONG_MAX, SIZE_MAX, CatalogLoad::OutOfMemory, 0},  // the size would wrap
        {kLargest32 + 1, 0xFFFFFFFFu, CatalogLoad::OutOfMemory, 0},
        {1, kHeader - 1, CatalogLoad::OutOfMemory, 0},  // not even the count word fits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        FakeCatalogFile file;
        file.count = c.count;
        file.allocationFails = true;
        PlugInCatalog* catalog = kUntouched;
        EXPECT_EQ(file.Load(&catalog, c.sizeLimit), c.expect);
        EXPECT_EQ(file.allocations.size(), c.allocations);
        EXPECT_TRUE(file.reads.empty());
        EXPECT_EQ(catalog, kUntouched);
    }
}

TEST(Catalog, EntriesFollowTheIndexKeysInOrderWithDefaultsForWhatIsMissing) {
    FakeCatalogFile file;
    file.count = 5;  // PlugIn3 names no section, PlugIn4 is empty, PlugIn5 is missing
    file.values = {{L"PlugInInfo/PlugIn1", L"Sharpen"},  {L"PlugInInfo/PlugIn2", L"Blur"},
                   {L"PlugInInfo/PlugIn3", L"Gone"},     {L"PlugInInfo/PlugIn4", L""},
                   {L"Sharpen/Name", L"锐化"},            {L"Sharpen/SrcFile", L"Sharpen.8bf"},
                   {L"Sharpen/SubDir1", L"Filters"},      {L"Sharpen/SubDir2", L"Effects"},
                   {L"Sharpen/Description", L"锐化滤镜"}, {L"Blur/Name", L"Blur"}};
    file.versions[L"Sharpen.8bf"] = L"1.2.0.0";
    PlugInCatalog* catalog = nullptr;
    ASSERT_EQ(file.Load(&catalog), CatalogLoad::Loaded);
    ASSERT_EQ(catalog->Count, 5);
    EXPECT_EQ(file.allocations, std::vector<uint64_t>{CatalogBlockSize(5, SIZE_MAX)});
    EXPECT_EQ(Fields(catalog->Entries[0]), L"锐化|Sharpen.8bf|Filters|Effects|1.2.0.0|锐化滤镜");
    EXPECT_EQ(Fields(catalog->Entries[1]), L"Blur|[未知]|||[NO VERSION]|[无]");
    for (long i = 2; i < 5; ++i) EXPECT_EQ(Fields(catalog->Entries[i]), L"[未知]|[未知]|||[NO VERSION]|[无]") << i;
    auto emptySection = [](const std::wstring& read) { return read[0] == L'/'; };  // would look up "[]"
    EXPECT_EQ(std::count_if(file.reads.begin(), file.reads.end(), emptySection), 0);
    EXPECT_EQ(CatalogEntryAt(catalog, 4), &catalog->Entries[4]);
    EXPECT_TRUE(!CatalogEntryAt(catalog, 5) && !CatalogEntryAt(catalog, -1) && !CatalogEntryAt(nullptr, 0));
}

TEST(Catalog, NoVersionIsReadForANameOutsideTheProgramFolder) {
    FakeCatalogFile file;
    file.count = 3;
    file.values = {{L"PlugInInfo/PlugIn1", L"Up"},        {L"PlugInInfo/PlugIn2", L"Abs"},
                   {L"PlugInInfo/PlugIn3", L"Below"},     {L"Up/SrcFile", L"..\\x.8bf"},
                   {L"Abs/SrcFile", L"C:\\Windows\\x.8bf"}, {L"Below/SrcFile", L"x64\\x.8bf"}};
    file.versions = {{L"..\\x.8bf", L"6.6"}, {L"C:\\Windows\\x.8bf", L"6.6"}, {L"x64\\x.8bf", L"1.0"}};
    PlugInCatalog* catalog = nullptr;
    ASSERT_EQ(file.Load(&catalog), CatalogLoad::Loaded);
    EXPECT_EQ(std::wstring(catalog->Entries[0].FileVersion), L"[NO VERSION]");
    EXPECT_EQ(std::wstring(catalog->Entries[1].FileVersion), L"[NO VERSION]");
    EXPECT_EQ(std::wstring(catalog->Entries[2].FileVersion), L"1.0");
    auto versionRead = [](const std::wstring& read) { return read.find(L':') != std::wstring::npos; };
    EXPECT_EQ(std::count_if(file.reads.begin(), file.reads.end(), versionRead), 1);
}

// Index keys the listing leaves out are not read, and every entry comes out
// as a full read makes it; the default entry's version is read once.
TEST(Catalog, UnlistedIndexKeysAreNotReadAndChangeNothing) {
    auto load = [](const wchar_t* listing, std::vector<std::wstring>* reads) {
        FakeCatalogFile file;
        file.count = 9;
        file.values = {{L"PlugInInfo/plugin1", L"Sharpen"}, {L"PlugInInfo/PlugIn03", L"Sharpen"},
                       {L"PlugInInfo/PLUGIN4", L""},        {L"PlugInInfo/PlugIn6", L"Blur"},
                       {L"PlugInInfo/PlugIn12", L"Blur"},   {L"PlugInInfo/PlugIn9", L"Sharpen"},
                       {L"Sharpen/Name", L"锐化"},           {L"Sharpen/SrcFile", L"Sharpen.8bf"},
                       {L"Blur/Name", L"Blur"}};
        file.versions[L"Sharpen.8bf"] = L"1.2.0.0";
        file.versions[L"[未知]"] = L"9.9";  // a file of that name beside the program
        file.indexKeys = listing;
        PlugInCatalog* catalog = nullptr;
        EXPECT_EQ(file.Load(&catalog), CatalogLoad::Loaded);
        *reads = file.reads;
        std::vector<std::wstring> fields;
        for (long i = 0; catalog && i < catalog->Count; ++i) fields.push_back(Fields(catalog->Entries[i]));
        return fields;
    };
    auto indexReads = [](const std::vector<std::wstring>& reads) {
        std::vector<std::wstring> keys;
        for (const std::wstring& read : reads)
            if (read.rfind(L"PlugInInfo/", 0) == 0) keys.push_back(read.substr(11));
        return keys;
    };
    std::vector<std::wstring> fullReads, listedReads, oddReads;
    const std::vector<std::wstring> full = load(nullptr, &fullReads);
    ASSERT_EQ(full.size(), 9u);
    EXPECT_EQ(full[0], L"锐化|Sharpen.8bf|||1.2.0.0|[无]");
    EXPECT_EQ(full[2], L"[未知]|[未知]|||9.9|[无]");
    EXPECT_EQ(full[8], full[0]);
    // Blur's, and the default entry's once for its six copies.
    EXPECT_EQ(std::count(fullReads.begin(), fullReads.end(), L"[未知]:128"), 2);

    const std::wstring listing(L"Count\0plugin1\0PlugIn03\0PLUGIN4\0PlugIn6\0PlugIn12\0PlugIn9\0PlugIn0\0PlugIn\0PlugIn6x\0", 80);
    EXPECT_EQ(load(listing.c_str(), &listedReads), full);
    EXPECT_EQ(indexReads(listedReads), (std::vector<std::wstring>{L"PlugIn1", L"PlugIn4", L"PlugIn6", L"PlugIn9"}));
    EXPECT_EQ(std::count(listedReads.begin(), listedReads.end(), L"[未知]:128"), 2);

    // A name beyond ASCII might fold onto an index key: that key is read, and
    // no other (one such name does not make every key be read).
    const std::wstring odd = listing + std::wstring(L"PLUG\u0130N2\0PlugIn\u01301\0", 17);
    EXPECT_EQ(load(odd.c_str(), &oddReads), full);
    EXPECT_EQ(indexReads(oddReads), (std::vector<std::wstring>{L"PlugIn1", L"PlugIn2", L"PlugIn4", L"PlugIn6", L"PlugIn9"}));
    const std::wstring none(L"\0", 1);  // an empty list: only defaults
    EXPECT_EQ(load(none.c_str(), &oddReads)[0], full[2]);
    EXPECT_TRUE(indexReads(oddReads).empty());
}

TEST(Catalog, LongValuesAreCutToTheirFields) {
    // One entry, so a field size that is too large runs off the end of the block.
    FakeCatalogFile file;
    file.count = 1;
    const std::wstring section(130, L's'), cut = section.substr(0, 127) + L"/";  // a section name holds 127
    file.values = {{L"PlugInInfo/PlugIn1", section},        {cut + L"Name", std::wstring(100, L'n')},
                   {cut + L"SrcFile", L"Long.8bf"},           {cut + L"SubDir2", std::wstring(70, L'b')},
                   {cut + L"Description", std::wstring(300, L'd')}};
    file.versions[L"Long.8bf"] = std::wstring(200, L'7');
    PlugInCatalog* catalog = nullptr;
    ASSERT_EQ(file.Load(&catalog), CatalogLoad::Loaded);
    EXPECT_EQ(Fields(catalog->Entries[0]), std::wstring(63, L'n') + L"|Long.8bf||" + std::wstring(63, L'b') + L"|" +
                                               std::wstring(127, L'7') + L"|" + std::wstring(255, L'd'));
    EXPECT_EQ(file.reads.back(), L"Long.8bf:128");
}

// Beyond kMaxDefaultedCount only the written index keys count.
TEST(Catalog, AHugeCountStopsAtTheLastIndexKeyWritten) {
    const std::wstring three(L"Count\0PlugIn1\0PlugIn2\0PlugIn3\0", 30), far(L"PlugIn1\0PlugIn100001\0", 22),
        odd(L"PlugIn1\0PLUG\u0130N2\0", 17), none(L"Count\0", 7);
    struct Case { long count; const wchar_t* keys; CatalogLoad expect; long entries; } const cases[] = {
        {3000000, three.c_str(), CatalogLoad::Loaded, 3},
        {kMaxDefaultedCount + 1, three.c_str(), CatalogLoad::Loaded, 3},
        {kMaxDefaultedCount, three.c_str(), CatalogLoad::OutOfMemory, 0},  // as before: every entry, here too large
        {2000000000, far.c_str(), CatalogLoad::OutOfMemory, 0},
        {3000000, odd.c_str(), CatalogLoad::OutOfMemory, 0},
        {3000000, nullptr, CatalogLoad::OutOfMemory, 0},
        {3000000, none.c_str(), CatalogLoad::Empty, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        FakeCatalogFile file;
        file.count = c.count;
        file.indexKeys = c.keys;
        file.values = {{L"PlugInInfo/PlugIn2", L"B"}, {L"B/Name", L"b"}};
        PlugInCatalog* catalog = nullptr;
        EXPECT_EQ(file.Load(&catalog), c.expect);
        if (c.expect == CatalogLoad::Loaded) {
            ASSERT_EQ(catalog->Count, c.entries);
            EXPECT_EQ(std::wstring(catalog->Entries[1].Name), L"b");
            EXPECT_EQ(std::wstring(catalog->Entries[2].Name), L"[未知]");
        }
        EXPECT_LE(file.reads.size(), 40u);
    }
}

// The catalog text read once: what it claims and how it answers; the answers
// themselves are compared with the profile functions' under Wine (e2e).
TEST(ProfileImage, ClaimsPlainTextAndAnswersWithAsciiCaseFolded) {
    const struct { std::wstring text; bool claimed; } rows[] = {
        {L"[P1]\r\nName=锐化 ; x\r\n;c\r\n\r\nSrcFile=a=b\n[插件]\r\nName=", true},
        {L"[P1]\rName=a", false},        {L"Name=a\r\n[P1]", false},  {L"[P1]\r\nName = a", false},
        {L"[P1]\r\nName=\"a\"", false},  {L"[P1]\r\nName=a ", false}, {L"[P1]\r\n[p1]", false},
        {L"[P1]\r\nName=a\r\nNAME=b", false}, {L"[P1]\r\nNoValue", false}, {L"[\u0130]\r\nName=a", false},
        {L"[P1]\r\n#Name=a", false},    {std::wstring(L"[P1]\r\nName=a\0b", 13), false},
    };
    for (const auto& row : rows) {
        size_t lines, slots;
        ProfileImageRoom(row.text.data(), row.text.size(), &lines, &slots);
        std::vector<ProfileLine> lineRoom(lines);
        std::vector<uint32_t> slotRoom(slots);
        ProfileImage image;
        EXPECT_EQ(BuildProfileImage(row.text.data(), row.text.size(), lineRoom.data(), lines, slotRoom.data(), slots,
                                    &image),
                  row.claimed)
            << std::string(row.text.begin(), row.text.end());
        if (!row.claimed) continue;
        const wchar_t* value = nullptr;
        size_t length = 0;
        EXPECT_EQ(FindProfileValue(image, L"p1", L"NAME", &value, &length), ProfileAnswer::Found);
        EXPECT_EQ(std::wstring(value, length), L"锐化 ; x");
        EXPECT_EQ(FindProfileValue(image, L"P1", L"srcfile", &value, &length), ProfileAnswer::Found);
        EXPECT_EQ(std::wstring(value, length), L"a=b");
        EXPECT_EQ(FindProfileValue(image, L"插件", L"Name", &value, &length), ProfileAnswer::Found);
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(FindProfileValue(image, L"P1", L"Description", &value, &length), ProfileAnswer::Missing);
        EXPECT_EQ(FindProfileValue(image, L"P2", L"Name", &value, &length), ProfileAnswer::Missing);
        EXPECT_EQ(FindProfileValue(image, L"P\u0131", L"Name", &value, &length), ProfileAnswer::Unsure);
    }
}

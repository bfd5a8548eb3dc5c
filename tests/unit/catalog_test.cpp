#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalog/catalog_logic.h"

namespace {

const uint64_t kHeader = offsetof(PlugInCatalog, Entries);

void CopyCut(wchar_t* out, size_t size, const std::wstring& text) {
    size_t n = std::min(text.size(), size - 1);
    text.copy(out, n);
    out[n] = 0;
}

// Stands in for the catalog file, the version reader and the process heap.
struct FakeCatalogFile {
    long count = 0;
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> values;  // (section, key) -> value
    std::map<std::wstring, std::wstring> versions;                          // SrcFile -> version text
    bool allocationFails = false;
    std::vector<std::wstring> sectionsRead;
    std::vector<std::pair<std::wstring, size_t>> versionReads;
    std::vector<uint64_t> allocations;
    void* block = nullptr;

    ~FakeCatalogFile() { std::free(block); }

    static FakeCatalogFile& Of(void* context) { return *static_cast<FakeCatalogFile*>(context); }
    static long ReadCount(void* context) { return Of(context).count; }
    // Like GetPrivateProfileStringW: the fallback when missing, cut to size - 1.
    static void ReadString(void* context, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                           wchar_t* out, size_t size) {
        FakeCatalogFile& file = Of(context);
        file.sectionsRead.push_back(section);
        auto found = file.values.find({section, key});
        CopyCut(out, size, found != file.values.end() ? found->second : std::wstring(fallback));
    }
    static int ReadVersion(void* context, const wchar_t* srcFile, wchar_t* out, size_t size) {
        FakeCatalogFile& file = Of(context);
        file.versionReads.push_back({srcFile, size});
        auto found = file.versions.find(srcFile);
        if (found == file.versions.end()) return 0;
        CopyCut(out, size, found->second);
        return 1;
    }
    static void* Allocate(void* context, uint64_t bytes) {
        FakeCatalogFile& file = Of(context);
        file.allocations.push_back(bytes);
        if (file.allocationFails || bytes > (1u << 20)) return nullptr;
        return file.block = std::calloc(1, bytes);
    }

    CatalogLoad Load(PlugInCatalog** catalog, uint64_t sizeLimit = SIZE_MAX) {
        const CatalogSource source{this, ReadCount, ReadString, ReadVersion, Allocate, sizeLimit};
        return ReadPlugInCatalog(source, catalog);
    }
    void Section(const std::wstring& name, const std::wstring& src, const std::wstring& sub1,
                 const std::wstring& sub2, const std::wstring& description) {
        values[{name, L"Name"}] = name;
        values[{name, L"SrcFile"}] = src;
        values[{name, L"SubDir1"}] = sub1;
        values[{name, L"SubDir2"}] = sub2;
        values[{name, L"Description"}] = description;
    }
};

PlugInCatalog* const kUntouched = reinterpret_cast<PlugInCatalog*>(alignof(PlugInCatalog));

}  // namespace

TEST(Catalog, BlockSizeIsTheCountWordPlusFixedEntries) {
    EXPECT_EQ(kHeader, 4u);
    EXPECT_EQ(sizeof(PlugInEntry), 640 * sizeof(wchar_t));
    EXPECT_EQ(CatalogBlockSize(1, SIZE_MAX), kHeader + sizeof(PlugInEntry));
    EXPECT_EQ(CatalogBlockSize(3, SIZE_MAX), kHeader + 3 * sizeof(PlugInEntry));
    EXPECT_EQ(CatalogBlockSize(0, SIZE_MAX), 0u);
    EXPECT_EQ(CatalogBlockSize(-1, SIZE_MAX), 0u);
    EXPECT_EQ(CatalogBlockSize(LONG_MAX, SIZE_MAX), 0u);  // would wrap a 64-bit size
}

TEST(Catalog, CountBeyondThe32BitSizeLimitIsOutOfMemory) {
    const uint64_t limit = 0xFFFFFFFFu;
    const long largest = static_cast<long>((limit - kHeader) / sizeof(PlugInEntry));
    EXPECT_EQ(CatalogBlockSize(largest, limit), kHeader + largest * sizeof(PlugInEntry));
    EXPECT_EQ(CatalogBlockSize(largest + 1, limit), 0u);
    if (sizeof(wchar_t) == 2) {  // the Windows entry size
        EXPECT_EQ(largest + 1, 3355444);
    }

    FakeCatalogFile file;
    file.count = largest + 1;
    PlugInCatalog* catalog = kUntouched;
    EXPECT_EQ(file.Load(&catalog, limit), CatalogLoad::OutOfMemory);
    EXPECT_TRUE(file.allocations.empty());
    EXPECT_EQ(catalog, kUntouched);
}

TEST(Catalog, NoPositiveCountIsEmptyWithoutAllocating) {
    for (long count : {0L, -1L, LONG_MIN}) {
        SCOPED_TRACE(count);
        FakeCatalogFile file;
        file.count = count;
        PlugInCatalog* catalog = kUntouched;
        EXPECT_EQ(file.Load(&catalog), CatalogLoad::Empty);
        EXPECT_TRUE(file.allocations.empty());
        EXPECT_TRUE(file.sectionsRead.empty());
        EXPECT_EQ(catalog, kUntouched);
    }
}

TEST(Catalog, FailedAllocationIsOutOfMemory) {
    FakeCatalogFile file;
    file.count = 2;
    file.allocationFails = true;
    PlugInCatalog* catalog = kUntouched;
    EXPECT_EQ(file.Load(&catalog), CatalogLoad::OutOfMemory);
    EXPECT_EQ(file.allocations, std::vector<uint64_t>{CatalogBlockSize(2, SIZE_MAX)});
    EXPECT_EQ(catalog, kUntouched);
}

TEST(Catalog, EntriesFollowTheIndexKeysInOrder) {
    FakeCatalogFile file;
    file.count = 2;
    file.values[{L"PlugInInfo", L"PlugIn1"}] = L"Sharpen";
    file.values[{L"PlugInInfo", L"PlugIn2"}] = L"Blur";
    file.Section(L"Sharpen", L"Sharpen.8bf", L"Filters", L"Effects", L"锐化滤镜");
    file.Section(L"Blur", L"Blur.8bf", L"", L"", L"Blur");
    file.versions[L"Sharpen.8bf"] = L"1.2.0.0";
    file.versions[L"Blur.8bf"] = L"2.0";

    PlugInCatalog* catalog = nullptr;
    ASSERT_EQ(file.Load(&catalog), CatalogLoad::Loaded);
    ASSERT_EQ(catalog->Count, 2);
    const PlugInEntry* first = CatalogEntryAt(catalog, 0);
    ASSERT_EQ(first, &catalog->Entries[0]);
    EXPECT_EQ(std::wstring(first->Name), L"Sharpen");
    EXPECT_EQ(std::wstring(first->SrcFile), L"Sharpen.8bf");
    EXPECT_EQ(std::wstring(first->SubDir1), L"Filters");
    EXPECT_EQ(std::wstring(first->SubDir2), L"Effects");
    EXPECT_EQ(std::wstring(first->FileVersion), L"1.2.0.0");
    EXPECT_EQ(std::wstring(first->Description), L"锐化滤镜");
    EXPECT_EQ(std::wstring(CatalogEntryAt(catalog, 1)->Name), L"Blur");
    EXPECT_EQ(std::wstring(CatalogEntryAt(catalog, 1)->FileVersion), L"2.0");
    EXPECT_EQ(CatalogEntryAt(catalog, 2), nullptr);
    EXPECT_EQ(CatalogEntryAt(catalog, -1), nullptr);
    EXPECT_EQ(CatalogEntryAt(nullptr, 0), nullptr);
}

TEST(Catalog, MissingOrEmptyIndexKeyOrSectionGivesDefaults) {
    FakeCatalogFile file;
    file.count = 3;
    file.values[{L"PlugInInfo", L"PlugIn1"}] = L"Gone";  // no such section
    file.values[{L"PlugInInfo", L"PlugIn2"}] = L"";      // PlugIn3 is missing

    PlugInCatalog* catalog = nullptr;
    ASSERT_EQ(file.Load(&catalog), CatalogLoad::Loaded);
    for (long i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const PlugInEntry& entry = catalog->Entries[i];
        EXPECT_EQ(std::wstring(entry.Name), L"[未知]");
        EXPECT_EQ(std::wstring(entry.SrcFile), L"[未知]");
        EXPECT_EQ(std::wstring(entry.SubDir1), L"");
        EXPECT_EQ(std::wstring(entry.SubDir2), L"");
        EXPECT_EQ(std::wstring(entry.FileVersion), L"[NO VERSION]");
        EXPECT_EQ(std::wstring(entry.Description), L"[无]");
    }
    // The empty section name is never looked up.
    for (const std::wstring& section : file.sectionsRead) EXPECT_NE(section, L"");
}

TEST(Catalog, LongValuesAreCutToTheirFields) {
    // One entry, so a field size that is too large runs off the end of the block.
    FakeCatalogFile file;
    file.count = 1;
    const std::wstring section(130, L's');
    file.values[{L"PlugInInfo", L"PlugIn1"}] = section;
    file.Section(section.substr(0, 127), L"Long.8bf", std::wstring(70, L'a'), std::wstring(70, L'b'),
                 std::wstring(300, L'd'));
    file.values[{section.substr(0, 127), L"Name"}] = std::wstring(100, L'n');
    file.versions[L"Long.8bf"] = std::wstring(200, L'7');

    PlugInCatalog* catalog = nullptr;
    ASSERT_EQ(file.Load(&catalog), CatalogLoad::Loaded);
    const PlugInEntry& entry = catalog->Entries[0];
    EXPECT_EQ(std::wstring(entry.Name), std::wstring(63, L'n'));
    EXPECT_EQ(std::wstring(entry.SrcFile), L"Long.8bf");
    EXPECT_EQ(std::wstring(entry.SubDir1), std::wstring(63, L'a'));
    EXPECT_EQ(std::wstring(entry.SubDir2), std::wstring(63, L'b'));
    EXPECT_EQ(std::wstring(entry.FileVersion), std::wstring(127, L'7'));
    EXPECT_EQ(std::wstring(entry.Description), std::wstring(255, L'd'));
    ASSERT_EQ(file.versionReads.size(), 1u);
    EXPECT_EQ(file.versionReads[0].first, L"Long.8bf");
    EXPECT_EQ(file.versionReads[0].second, 128u);
}

TEST(Catalog, VersionSubBlockNameUsesFourLowerCaseHexDigitsEach) {
    struct Case {
        unsigned language, codePage;
        const wchar_t* expect;
    } const cases[] = {
        {0x0804, 0x04b0, L"\\StringFileInfo\\080404b0\\FileVersion"},
        {0x0409, 0x04E4, L"\\StringFileInfo\\040904e4\\FileVersion"},
        {0x10409, 0xFFFF04b0, L"\\StringFileInfo\\040904b0\\FileVersion"},  // 16 bits each
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.expect)));
        wchar_t out[64];
        VersionSubBlockName(c.language, c.codePage, out, 64);
        EXPECT_EQ(std::wstring(out), c.expect);
    }
}

// The catalog block and ReadPlugInCatalog, read through a fake catalog file
// whose count, texts, size limit and heap come from the input; the first byte
// picks the function.
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "catalog/catalog_keys.h"
#include "catalog/catalog_logic.h"
#include "common/program_path_logic.h"
#include "common/version_resource_logic.h"
#include "fuzz_support.h"

namespace {

const uint64_t kHeader = offsetof(PlugInCatalog, Entries);
const uint64_t kLargestBlock = kHeader + 8 * sizeof(PlugInEntry);  // the fake heap's limit

// In 128 bits, where nothing wraps.
uint64_t BlockSizeModel(int64_t count, uint64_t sizeLimit) {
    if (count <= 0) return 0;
    const unsigned __int128 bytes = kHeader + static_cast<unsigned __int128>(count) * sizeof(PlugInEntry);
    return bytes > sizeLimit ? 0 : static_cast<uint64_t>(bytes);
}

uint64_t SizeLimit(FuzzInput& in) {
    const uint64_t edges[] = {0, 1, 3, kHeader, kHeader + sizeof(PlugInEntry) - 1, kHeader + sizeof(PlugInEntry),
                              0xFFFFFFFFu, UINT64_MAX};
    switch (in.Byte() % 3) {
    case 0: return edges[in.Byte() % (sizeof(edges) / sizeof(edges[0]))];
    case 1: return in.Bytes(2);
    default: return in.Bytes(8);
    }
}

using Field = CatalogField;
const Field& kVersionField = *std::find_if(std::begin(kCatalogFields), std::end(kCatalogFields),
                                           [](const Field& field) { return !field.key; });

std::wstring Cut(const std::wstring& text, size_t size) { return text.substr(0, size - 1); }

// A catalog file in which each key's value is one of the input's texts, or
// missing, chosen by the key's hash, so the entries can be worked out after.
struct FakeFile {
    long count = 0;
    bool allocationFails = false;
    size_t seed = 0;
    std::vector<std::wstring> texts;
    PlugInCatalog* block = nullptr;
    std::vector<uint64_t> allocations;
    size_t reads = 0;
    const wchar_t* listing = nullptr;

    ~FakeFile() { std::free(block); }
    static FakeFile& Of(void* context) { return *static_cast<FakeFile*>(context); }

    const std::wstring* Value(const std::wstring& key) const {
        size_t pick = (std::hash<std::wstring>()(key) ^ seed) % (texts.size() + 1);
        return pick < texts.size() ? &texts[pick] : nullptr;
    }
    // `out` and `size` must be exactly one field of one allocated entry.
    void CheckField(const wchar_t* out, size_t size, const Field& field) const {
        CONTRACT(block);
        const uintptr_t first = reinterpret_cast<uintptr_t>(block->Entries);
        const uintptr_t at = reinterpret_cast<uintptr_t>(out);
        CONTRACT(at >= first && at < first + count * sizeof(PlugInEntry));
        CONTRACT((at - first) % sizeof(PlugInEntry) == field.offset && size == field.size);
    }
    // Fills the whole of `out`, as a reader that pads may, so a size larger
    // than the field shows (AddressSanitizer checks memcpy and memset).
    static void Fill(const std::wstring& value, wchar_t* out, size_t size) {
        const size_t length = std::min(value.size(), size - 1);
        std::memcpy(out, value.data(), length * sizeof(wchar_t));
        std::memset(out + length, 0, (size - length) * sizeof(wchar_t));
    }

    static void ReadString(void* context, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                           wchar_t* out, size_t size) {
        FakeFile& file = Of(context);
        ++file.reads;
        CONTRACT(section[0] && size > 0);  // no look-up of "[]"
        if (std::wcscmp(section, kIndexSection) != 0) {
            const Field* field = std::find_if(std::begin(kCatalogFields), std::end(kCatalogFields),
                                              [&](const Field& f) { return f.key && std::wcscmp(f.key, key) == 0; });
            CONTRACT(field != std::end(kCatalogFields) && std::wcscmp(fallback, field->fallback) == 0);
            file.CheckField(out, size, *field);
        }
        const std::wstring* value = file.Value(std::wstring(section) + L"/" + key);
        Fill(value ? *value : fallback, out, size);
    }
    static bool ReadVersion(void* context, const wchar_t* srcFile, wchar_t* out, size_t size) {
        FakeFile& file = Of(context);
        ++file.reads;
        // A name that leaves the program's folder is never looked at.
        CONTRACT(IsSafeRelativeFileName(srcFile));
        file.CheckField(out, size, kVersionField);
        const std::wstring* value = file.Value(std::wstring(L"version:") + srcFile);
        Fill(value ? *value : L"partly read", out, size);  // a failed reader may leave text behind
        return value != nullptr;
    }
    static void* Allocate(void* context, uint64_t bytes) {
        FakeFile& file = Of(context);
        file.allocations.push_back(bytes);
        if (file.allocationFails || bytes > kLargestBlock || file.block) return nullptr;
        return file.block = static_cast<PlugInCatalog*>(std::calloc(1, bytes));  // exactly `bytes`
    }
};

std::wstring FieldString(const PlugInEntry& entry, const Field& field) {
    const wchar_t* text = reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(&entry) + field.offset);
    const wchar_t* end = std::find(text, text + field.size, L'\0');
    CONTRACT(end != text + field.size);
    return std::wstring(text, end);
}

void Read(FuzzInput& in) {
    FakeFile file;
    const uint8_t flags = in.Byte();
    file.count = flags & 1 ? in.Byte() % 10 : static_cast<long>(in.Number());
    file.allocationFails = flags & 2;
    const uint64_t sizeLimit = SizeLimit(in);
    file.seed = in.Byte();
    for (size_t n = in.Byte() % 6; n--;) file.texts.push_back(in.Text());

    // With flag 4 the index keys are listed: every key the file holds (in a
    // case of the input's choosing) among names of the input's own, which
    // must change nothing.
    std::wstring listing;
    if (flags & 4) {
        const uint8_t cases = in.Byte();
        for (long n = 1; n <= file.count && n <= 4096; ++n)
            if (file.Value(std::wstring(kIndexSection) + L"/PlugIn" + std::to_wstring(n)))
                listing += std::wstring(cases & (1 << (n % 8)) ? L"PLUGIN" : L"plugIn") + std::to_wstring(n) + L'\0';
        for (size_t n = in.Byte() % 4; n--;) {
            const std::wstring name = in.Text();
            if (!name.empty()) listing += name + L'\0';
        }
        listing += L'\0';
    }
    file.listing = (flags & 4) && file.count <= 4096 ? listing.c_str() : nullptr;
    auto readCount = [](void* context) { return FakeFile::Of(context).count; };
    auto listKeys = [](void* context) { return FakeFile::Of(context).listing; };
    const CatalogSource source{&file, readCount, FakeFile::ReadString, FakeFile::ReadVersion, FakeFile::Allocate,
                               sizeLimit, listKeys};
    PlugInCatalog* const untouched = reinterpret_cast<PlugInCatalog*>(uintptr_t{64});
    PlugInCatalog* catalog = untouched;
    const CatalogLoad load = ReadPlugInCatalog(source, &catalog);

    const uint64_t bytes = BlockSizeModel(file.count, sizeLimit);
    if (file.count > kMaxDefaultedCount) {
        // Listed only up to 4096 here: the keys cannot be judged, so too large.
        CONTRACT(load == CatalogLoad::OutOfMemory && file.allocations.empty() && file.reads == 0);
        return;
    }
    if (file.count <= 0) {
        CONTRACT(load == CatalogLoad::Empty && file.allocations.empty());
    } else if (!bytes) {
        CONTRACT(load == CatalogLoad::OutOfMemory && file.allocations.empty());
    } else {
        CONTRACT(file.allocations == std::vector<uint64_t>{bytes});
        CONTRACT(load == (file.block ? CatalogLoad::Loaded : CatalogLoad::OutOfMemory));
    }
    if (load != CatalogLoad::Loaded) {
        CONTRACT(catalog == untouched && file.reads == 0);
        return;
    }
    CONTRACT(catalog == file.block && catalog->Count == file.count);
    for (long n = 1; n <= file.count; ++n) {
        const PlugInEntry& entry = catalog->Entries[n - 1];
        const std::wstring* named = file.Value(std::wstring(kIndexSection) + L"/PlugIn" + std::to_wstring(n));
        const std::wstring section = Cut(named ? *named : L"", kSectionNameSize);
        for (const Field& field : kCatalogFields) {
            if (!field.key) continue;
            const std::wstring* value = section.empty() ? nullptr : file.Value(section + L"/" + field.key);
            CONTRACT(FieldString(entry, field) == Cut(value ? *value : field.fallback, field.size));
        }
        const std::wstring srcFile = entry.SrcFile;
        const std::wstring* version =
            IsSafeRelativeFileName(srcFile.c_str()) ? file.Value(L"version:" + srcFile) : nullptr;
        CONTRACT(FieldString(entry, kVersionField) == (version ? Cut(*version, kVersionField.size) : kNoVersionText));
    }
}

void BlockSize(FuzzInput& in) {
    const long count = static_cast<long>(in.Number());
    const uint64_t sizeLimit = SizeLimit(in);
    CONTRACT(CatalogBlockSize(count, sizeLimit) == BlockSizeModel(count, sizeLimit));
}

void EntryAt(FuzzInput& in) {
    const int32_t count = static_cast<int32_t>(in.Number());
    const long index = static_cast<long>(in.Number());
    const size_t held = static_cast<size_t>(std::clamp(count, 0, 4));
    auto* catalog = static_cast<PlugInCatalog*>(std::calloc(1, kHeader + held * sizeof(PlugInEntry)));
    catalog->Count = count;
    const uintptr_t expect = index >= 0 && index < count
                                 ? reinterpret_cast<uintptr_t>(catalog) + kHeader + index * sizeof(PlugInEntry)
                                 : 0;
    CONTRACT(reinterpret_cast<uintptr_t>(CatalogEntryAt(catalog, index)) == expect);
    CONTRACT(!CatalogEntryAt(nullptr, index));
    std::free(catalog);
}

void SubBlockName(FuzzInput& in) {
    const size_t size = in.Size();
    const unsigned language = static_cast<unsigned>(in.Bytes(4)), codePage = static_cast<unsigned>(in.Bytes(4));
    wchar_t hex[16];
    std::swprintf(hex, 16, L"%04x%04x", language & 0xffff, codePage & 0xffff);
    OutBuffer out(size);
    VersionSubBlockName(language, codePage, out.data(), size);
    if (size) CONTRACT(out.Text() == (L"\\StringFileInfo\\" + std::wstring(hex) + L"\\FileVersion").substr(0, size - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    void (*const areas[])(FuzzInput&) = {Read, BlockSize, EntryAt, SubBlockName};
    areas[in.Byte() % (sizeof(areas) / sizeof(areas[0]))](in);
    return 0;
}

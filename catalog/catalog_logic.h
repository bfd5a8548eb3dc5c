// The catalog block and how it is read from the catalog file. Portable: the
// profile reader, the version reader and the allocator are passed in.
#pragma once
#include <cstddef>
#include <cstdint>

#include "catalog/catalog_keys.h"
#include "common/control_ids.h"

struct PlugInEntry {
    wchar_t Name[64];
    wchar_t SrcFile[64];
    wchar_t SubDir1[64];
    wchar_t SubDir2[64];
    wchar_t FileVersion[128];
    wchar_t Description[256];
};

struct PlugInCatalog {
    int32_t Count;
    PlugInEntry Entries[];  // Count records; the block is sized by CatalogBlockSize
};

constexpr size_t kSectionNameSize = 128;
constexpr size_t kVersionTextSize = sizeof(PlugInEntry::FileVersion) / sizeof(wchar_t);

// One column of the catalog: the key of the entry's section it is read from
// (none: the plug-in file's version), the text it takes when the key is
// missing, where it lives in the entry (an offset and a size in characters),
// and the dialog label that shows it (0: none). In the entry's order.
struct CatalogField {
    const wchar_t* key;
    const wchar_t* fallback;
    size_t offset;
    size_t size;
    int label;
};

#define CATALOG_FIELD(member) offsetof(PlugInEntry, member), sizeof(PlugInEntry::member) / sizeof(wchar_t)
inline constexpr CatalogField kCatalogFields[] = {
    {kNameKey, kUnknownText, CATALOG_FIELD(Name), 0},
    {kSrcFileKey, kUnknownText, CATALOG_FIELD(SrcFile), IDC_SRC_FILE},
    {kSubDir1Key, L"", CATALOG_FIELD(SubDir1), 0},
    {kSubDir2Key, L"", CATALOG_FIELD(SubDir2), 0},
    {nullptr, kNoVersionText, CATALOG_FIELD(FileVersion), IDC_FILE_VERSION},
    {kDescriptionKey, kNoDescriptionText, CATALOG_FIELD(Description), IDC_DESCRIPTION},
};
#undef CATALOG_FIELD

inline wchar_t* FieldText(PlugInEntry& entry, const CatalogField& field) {
    return reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(&entry) + field.offset);
}
inline const wchar_t* FieldText(const PlugInEntry& entry, const CatalogField& field) {
    return reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(&entry) + field.offset);
}

// Bytes for a catalog of `count` entries, or 0 when `count` is not positive or
// the size would exceed `sizeLimit` (the platform's largest size_t).
uint64_t CatalogBlockSize(long count, uint64_t sizeLimit);

// Entry `index`, or null when there is no catalog or the index is out of range.
const PlugInEntry* CatalogEntryAt(const PlugInCatalog* catalog, long index);

struct CatalogSource {
    void* context;
    // The catalog file's Count key, with GetPrivateProfileIntW's meaning.
    long (*readCount)(void* context);
    // GetPrivateProfileStringW: `out` always terminated, values cut to fit.
    void (*readString)(void* context, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                       wchar_t* out, size_t size);
    // Fills `out` with the version text of plug-in file `srcFile`; false when there is none.
    bool (*readVersion)(void* context, const wchar_t* srcFile, wchar_t* out, size_t size);
    // A zero-filled block of `bytes`, or null.
    void* (*allocate)(void* context, uint64_t bytes);
    uint64_t sizeLimit;
    // Optional: the key names of the index section as GetPrivateProfileStringW
    // lists them (each terminated, the list ended by an empty name), or null
    // when they could not be listed whole. Index keys it does not name are not
    // read: they would read as missing.
    const wchar_t* (*listIndexKeys)(void* context) = nullptr;
};

enum class CatalogLoad { Loaded, Empty, OutOfMemory };

// A Count up to this is taken as it stands, with an entry of defaults for
// each index key not written. A larger one is taken only as far as the last
// index key written (none: an empty catalog); when that is beyond this too,
// or the keys cannot be listed and judged, the catalog is too large (out of
// memory). A few bytes of catalog cannot ask for gigabytes.
constexpr long kMaxDefaultedCount = 100000;

// n of an index key "PlugIn<n>" of `length` characters (ASCII letters folded,
// no leading zero), held at 0x7FFFFFFF when larger; 0 for any other name.
long IndexKeyNumber(const wchar_t* name, size_t length);

// Reads the whole catalog into one block; `*catalog` is set only on Loaded.
CatalogLoad ReadPlugInCatalog(const CatalogSource& source, PlugInCatalog** catalog);

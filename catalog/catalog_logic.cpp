#include "catalog/catalog_logic.h"

#include <cstddef>

#include "common/program_path_logic.h"
#include "common/texts.h"
#include "common/wide_text.h"

uint64_t CatalogBlockSize(long count, uint64_t sizeLimit) {
    if (count <= 0) return 0;
    const uint64_t header = offsetof(PlugInCatalog, Entries);
    if (sizeLimit < header || static_cast<uint64_t>(count) > (sizeLimit - header) / sizeof(PlugInEntry)) return 0;
    return header + static_cast<uint64_t>(count) * sizeof(PlugInEntry);
}

const PlugInEntry* CatalogEntryAt(const PlugInCatalog* catalog, long index) {
    if (!catalog || index < 0 || index >= catalog->Count) return nullptr;
    return &catalog->Entries[index];
}

static void ReadEntry(const CatalogSource& source, long number, PlugInEntry* entry) {
    wchar_t key[32];
    const TextArg args[] = {number};
    FormatText(key, 32, kIndexKeyPattern, args);
    wchar_t section[kSectionNameSize];
    source.readString(source.context, kIndexSection, key, L"", section, kSectionNameSize);

    struct Field {
        const wchar_t* key;
        const wchar_t* fallback;
        wchar_t* out;
        size_t size;
    } const fields[] = {
        {kNameKey, kUnknownText, entry->Name, 64},
        {kSrcFileKey, kUnknownText, entry->SrcFile, 64},
        {kSubDir1Key, L"", entry->SubDir1, 64},
        {kSubDir2Key, L"", entry->SubDir2, 64},
        {kDescriptionKey, kNoDescriptionText, entry->Description, 256},
    };
    for (const Field& field : fields) {
        // An empty section name would make the profile reader look up "[]";
        // an entry without a section takes the defaults.
        if (section[0])
            source.readString(source.context, section, field.key, field.fallback, field.out, field.size);
        else
            WideCopy(field.out, field.size, field.fallback);
    }
    // A name that leaves the program's folder is not read, here or at install.
    if (!IsSafeRelativeFileName(entry->SrcFile) ||
        !source.readVersion(source.context, entry->SrcFile, entry->FileVersion, 128))
        WideCopy(entry->FileVersion, 128, kNoVersionText);
}

CatalogLoad ReadPlugInCatalog(const CatalogSource& source, PlugInCatalog** catalog) {
    long count = source.readCount(source.context);
    if (count <= 0) return CatalogLoad::Empty;
    uint64_t bytes = CatalogBlockSize(count, source.sizeLimit);
    void* block = bytes ? source.allocate(source.context, bytes) : nullptr;
    if (!block) return CatalogLoad::OutOfMemory;
    auto* loaded = static_cast<PlugInCatalog*>(block);
    loaded->Count = static_cast<int32_t>(count);
    for (long n = 1; n <= count; ++n) ReadEntry(source, n, &loaded->Entries[n - 1]);
    *catalog = loaded;
    return CatalogLoad::Loaded;
}

void VersionSubBlockName(unsigned language, unsigned codePage, wchar_t* out, size_t size) {
    const TextArg args[] = {static_cast<long>(language & 0xffff), static_cast<long>(codePage & 0xffff)};
    FormatText(out, size, kFileVersionBlockPattern, args);
}

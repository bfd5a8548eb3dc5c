#include "catalog/catalog_logic.h"

#include <algorithm>
#include <cstddef>

#include "catalog/catalog_keys.h"
#include "common/program_path_logic.h"
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

// The version of the entry's plug-in file, or "[NO VERSION]". A name that
// leaves the program's folder is not read, here or at install.
static void ReadVersionText(const CatalogSource& source, PlugInEntry* entry) {
    if (!IsSafeRelativeFileName(entry->SrcFile) ||
        !source.readVersion(source.context, entry->SrcFile, entry->FileVersion, kVersionTextSize))
        WideCopy(entry->FileVersion, kVersionTextSize, kNoVersionText);
}

// Reads the entry's fields from its section; false, with nothing read, when
// the index key names no section: such an entry is the default entry.
static bool ReadEntry(const CatalogSource& source, long number, PlugInEntry* entry) {
    wchar_t key[32];
    const TextArg args[] = {number};
    FormatText(key, 32, kIndexKeyPattern, args);
    wchar_t section[kSectionNameSize];
    source.readString(source.context, kIndexSection, key, L"", section, kSectionNameSize);
    // An empty section name would make the profile reader look up "[]".
    if (!section[0]) return false;

    for (const CatalogField& field : kCatalogFields)
        if (field.key)
            source.readString(source.context, section, field.key, field.fallback, FieldText(*entry, field), field.size);
    ReadVersionText(source, entry);
    return true;
}

long IndexKeyNumber(const wchar_t* name, size_t length) {
    const wchar_t prefix[] = L"plugin";
    constexpr size_t kPrefix = 6;
    if (length <= kPrefix || name[kPrefix] == L'0') return 0;
    for (size_t i = 0; i < kPrefix; ++i)
        if (FoldAscii(name[i]) != prefix[i]) return 0;
    long number = 0;
    for (size_t i = kPrefix; i < length; ++i) {
        if (name[i] < L'0' || name[i] > L'9') return 0;
        const long digit = name[i] - L'0';
        number = number > (0x7FFFFFFFL - digit) / 10 ? 0x7FFFFFFFL : number * 10 + digit;
    }
    return number;
}

// The number of index key `name` when it is at most `count`, else 0.
static long IndexKeyUpTo(const wchar_t* name, long count) {
    const long number = IndexKeyNumber(name, WideLength(name));
    return number <= count ? number : 0;
}

// The number an index key of other characters than ASCII might have: the
// profile reader folds case beyond ASCII (U+0130 to "i", say), so any such
// character might stand for a letter of "PlugIn"; no case maps one to a digit.
static long IndexKeyNumberBeyondAscii(const wchar_t* name) {
    const wchar_t prefix[] = L"plugin";
    const size_t length = WideLength(name);
    if (length <= 6 || name[6] == L'0') return 0;
    long number = 0;
    for (size_t i = 0; i < length; ++i) {
        if (i < 6) {
            if (name[i] <= 0x7f && FoldAscii(name[i]) != prefix[i]) return 0;
            continue;
        }
        if (name[i] < L'0' || name[i] > L'9') return 0;
        const long digit = name[i] - L'0';
        number = number > (0x7FFFFFFFL - digit) / 10 ? 0x7FFFFFFFL : number * 10 + digit;
    }
    return number;
}

// Marks in the zero-filled block, by a non-zero first character, the entries
// whose index key the list names, or might name: a name with other than
// ASCII characters marks the entry it could stand for, which is then read as
// any other (a few names cannot make every entry be read).
static bool MarkListedEntries(const wchar_t* keys, PlugInCatalog* catalog) {
    for (const wchar_t* name = keys; *name; name += WideLength(name) + 1) {
        bool ascii = true;
        for (const wchar_t* c = name; *c; ++c) ascii = ascii && *c <= 0x7f;
        const long number = ascii ? IndexKeyUpTo(name, catalog->Count) : IndexKeyNumberBeyondAscii(name);
        if (number > 0 && number <= catalog->Count) catalog->Entries[number - 1].Name[0] = 1;
    }
    return true;
}

// The number of the last index key the list names, up to `count`; -1 when a
// name cannot be judged (see MarkListedEntries).
static long LastListedIndexKey(const wchar_t* keys, long count) {
    long last = 0;
    for (const wchar_t* name = keys; *name; name += WideLength(name) + 1) {
        for (const wchar_t* c = name; *c; ++c)
            if (*c > 0x7f) return -1;
        if (long number = IndexKeyUpTo(name, count); number > last) last = number;
    }
    return last;
}

CatalogLoad ReadPlugInCatalog(const CatalogSource& source, PlugInCatalog** catalog) {
    long count = source.readCount(source.context);
    if (count <= 0) return CatalogLoad::Empty;
    // The list is read before anything is allocated: a large Count is cut to it.
    const wchar_t* keys = source.listIndexKeys ? source.listIndexKeys(source.context) : nullptr;
    if (count > kMaxDefaultedCount) {
        const long last = keys ? LastListedIndexKey(keys, count) : -1;
        if (last == 0) return CatalogLoad::Empty;
        if (last < 0 || last > kMaxDefaultedCount) return CatalogLoad::OutOfMemory;
        count = last;
    }
    uint64_t bytes = CatalogBlockSize(count, source.sizeLimit);
    void* block = bytes ? source.allocate(source.context, bytes) : nullptr;
    if (!block) return CatalogLoad::OutOfMemory;
    auto* loaded = static_cast<PlugInCatalog*>(block);
    loaded->Count = static_cast<int32_t>(count);
    const bool listed = keys && MarkListedEntries(keys, loaded);
    // Entries without a section all equal the default entry: its version is
    // read once, when the first of them needs it.
    PlugInEntry* defaultEntry = nullptr;
    for (long n = 1; n <= count; ++n) {
        PlugInEntry* entry = &loaded->Entries[n - 1];
        if ((!listed || entry->Name[0]) && ReadEntry(source, n, entry)) continue;
        if (defaultEntry) {
            *entry = *defaultEntry;
            continue;
        }
        *entry = PlugInEntry{};
        for (const CatalogField& field : kCatalogFields)
            if (field.key) WideCopy(FieldText(*entry, field), field.size, field.fallback);
        ReadVersionText(source, entry);
        defaultEntry = entry;
    }
    *catalog = loaded;
    return CatalogLoad::Loaded;
}

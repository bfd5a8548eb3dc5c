#include "catalog/catalog_logic.h"

#include <algorithm>
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

void VersionSubBlockName(unsigned language, unsigned codePage, wchar_t* out, size_t size) {
    const TextArg args[] = {static_cast<long>(language & 0xffff), static_cast<long>(codePage & 0xffff)};
    FormatText(out, size, kFileVersionBlockPattern, args);
}

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// One node of a version resource: its key, value and children, each within
// the node, and the node within its parent.
struct VersionNode {
    size_t key, keyEnd;      // offsets of the key's first unit and its terminator
    size_t value, valueEnd;  // the value's bytes
    size_t children, end;
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

bool ReadVersionNode(const uint8_t* block, size_t at, size_t parentEnd, VersionNode* node) {
    if (at > parentEnd || parentEnd - at < 6) return false;
    const size_t length = Le16(block + at), valueLength = Le16(block + at + 2), type = Le16(block + at + 4);
    if (length < 6 || length > parentEnd - at) return false;
    node->end = at + length;
    node->key = at + 6;
    size_t p = node->key;
    while (p + 2 <= node->end && Le16(block + p)) p += 2;
    if (p + 2 > node->end) return false;
    node->keyEnd = p;
    node->value = std::min(Align4(p + 2), node->end);
    const size_t valueBytes = type == 1 ? valueLength * size_t{2} : valueLength;  // text: in characters
    node->valueEnd = node->value + std::min(valueBytes, node->end - node->value);
    node->children = std::min(Align4(node->valueEnd), node->end);
    return true;
}

// Whether the node's key is `name`, ASCII letters folded.
bool KeyIs(const uint8_t* block, const VersionNode& node, const wchar_t* name, size_t length) {
    if ((node.keyEnd - node.key) / 2 != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (FoldAscii(static_cast<wchar_t>(Le16(block + node.key + 2 * i))) != FoldAscii(name[i])) return false;
    }
    return true;
}

// The node a path such as \VarFileInfo\Translation names.
bool FindVersionNode(const uint8_t* block, size_t size, const wchar_t* path, VersionNode* node) {
    if (!ReadVersionNode(block, 0, size, node)) return false;
    while (*path) {
        while (*path == L'\\') ++path;
        size_t length = 0;
        while (path[length] && path[length] != L'\\') ++length;
        if (!length) break;
        VersionNode child;
        bool found = false;
        for (size_t at = node->children; !found && ReadVersionNode(block, at, node->end, &child);
             at = Align4(child.end))
            found = KeyIs(block, child, path, length);
        if (!found) return false;
        *node = child;
        path += length;
    }
    return true;
}

}  // namespace

bool VersionTextFromResource(const uint8_t* block, size_t size, wchar_t* out, size_t outSize) {
    VersionNode node;
    if (!FindVersionNode(block, size, kTranslationBlock, &node) || node.valueEnd - node.value < 4) return false;
    wchar_t name[64];
    VersionSubBlockName(Le16(block + node.value), Le16(block + node.value + 2), name, 64);
    if (!FindVersionNode(block, size, name, &node) || !outSize) return false;
    size_t n = 0;
    for (size_t at = node.value; at + 2 <= node.valueEnd && n + 1 < outSize; at += 2) {
        const uint16_t unit = Le16(block + at);
        if (!unit) break;
        out[n++] = static_cast<wchar_t>(unit);
    }
    out[n] = 0;
    return true;
}

bool FixedVersionFromResource(const uint8_t* block, size_t size, uint64_t* version) {
    VersionNode root;
    if (!ReadVersionNode(block, 0, size, &root) || root.valueEnd - root.value < 16) return false;
    const uint8_t* fixed = block + root.value;
    if ((Le16(fixed) | uint32_t{Le16(fixed + 2)} << 16) != 0xFEEF04BDu) return false;
    auto word = [fixed](size_t at) { return uint64_t{Le16(fixed + at)} | uint64_t{Le16(fixed + at + 2)} << 16; };
    *version = word(8) << 32 | word(12);
    return true;
}

#include "common/version_resource_logic.h"

#include <algorithm>
#include <cstring>

#include "common/little_endian.h"
#include "common/wide_text.h"

namespace {

constexpr uint16_t kVersionType = 16, kVersionId = 1;  // RT_VERSION, VS_VERSION_INFO
constexpr uint16_t kEnglish = 0x0409;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint32_t kEntrySize = 8;
// The version block's own paths, as the system's version functions name them.
constexpr wchar_t kTranslationBlock[] = L"\\VarFileInfo\\Translation";
constexpr wchar_t kFileVersionBlockPattern[] = L"\\StringFileInfo\\%04x%04x\\FileVersion";

// A resource directory: where its entries lie in the file, how many of them
// are named (the named ones come first) and how many there are in all.
struct ResourceDirectory {
    uint64_t entries;
    uint32_t named, count;
};

// The directory at `offset` in the resources: its header and every entry it
// counts must lie in one section's bytes in the file.
bool ReadDirectory(const ImageReader& image, const PeLayout& layout, uint32_t resources, uint32_t offset,
                   ResourceDirectory* directory) {
    uint8_t header[16];
    uint64_t at;
    if (offset > UINT32_MAX - resources || !RvaToFileOffset(layout, resources + offset, 16, &at) ||
        !image.read(image.context, at, header, 16))
        return false;
    directory->named = Le16(header + 12);
    directory->count = directory->named + Le16(header + 14);
    directory->entries = at + 16;
    return RvaToFileOffset(layout, resources + offset, 16 + directory->count * kEntrySize, &at);
}

struct ResourceEntry {
    uint32_t name;    // an id in the low 16 bits, or the top bit with a string's offset
    uint32_t target;  // a subdirectory's or a data entry's offset in the resources
    bool directory;
};

bool ReadEntry(const ImageReader& image, const ResourceDirectory& directory, uint32_t index, ResourceEntry* entry) {
    uint8_t bytes[kEntrySize];
    if (!image.read(image.context, directory.entries + uint64_t{index} * kEntrySize, bytes, kEntrySize)) return false;
    *entry = ResourceEntry{Le32(bytes), Le32(bytes + 4) & ~kSubdirectoryBit, (Le32(bytes + 4) & kSubdirectoryBit) != 0};
    return true;
}

// The entry with id `id` and of the wanted kind, as the loader finds it: a
// binary search of the id entries on their low 16 bits, so that a table out
// of order hides from it what it hides from the loader, and no table costs
// more than a few reads.
bool FindById(const ImageReader& image, const ResourceDirectory& directory, uint16_t id, bool wantDirectory,
              uint32_t* target) {
    uint32_t low = directory.named, high = directory.count;  // [low, high)
    while (low < high) {
        const uint32_t middle = low + (high - 1 - low) / 2;
        ResourceEntry entry;
        if (!ReadEntry(image, directory, middle, &entry)) return false;
        const uint16_t found = static_cast<uint16_t>(entry.name);
        if (found == id) {
            *target = entry.target;
            return entry.directory == wantDirectory;
        }
        if (found > id) high = middle;
        else low = middle + 1;
    }
    return false;
}

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

void ResourceLanguageOrder(uint16_t uiLanguage, uint16_t (&languages)[kResourceLanguageCount]) {
    const uint16_t primary = uiLanguage & 0x3ff;  // the sub-language neutral
    languages[0] = 0, languages[1] = uiLanguage, languages[2] = primary, languages[3] = kEnglish;
}

bool FindVersionResource(const ImageReader& image, const uint16_t* languages, size_t languageCount,
                         uint64_t* offset, uint32_t* size) {
    PeLayout layout;
    uint32_t resources, resourcesSize, target;
    ResourceDirectory directory;
    if (!ReadPeLayout(image, &layout) ||
        !FindDataDirectory(image, layout, kResourceDirectory, &resources, &resourcesSize) ||
        !ReadDirectory(image, layout, resources, 0, &directory) ||
        !FindById(image, directory, kVersionType, true, &target) ||
        !ReadDirectory(image, layout, resources, target, &directory) ||
        !FindById(image, directory, kVersionId, true, &target) ||
        !ReadDirectory(image, layout, resources, target, &directory))
        return false;
    bool found = false;
    for (size_t i = 0; i < languageCount && !found; ++i)
        found = FindById(image, directory, languages[i], false, &target);
    // Else the first data entry: bounded by the directory, whose entries the file holds.
    ResourceEntry entry;
    for (uint32_t i = 0; i < directory.count && !found && ReadEntry(image, directory, i, &entry); ++i)
        if (!entry.directory) found = true, target = entry.target;
    uint8_t dataEntry[16];
    uint64_t at;
    if (!found || target > UINT32_MAX - resources || !RvaToFileOffset(layout, resources + target, 16, &at) ||
        !image.read(image.context, at, dataEntry, 16))
        return false;
    const uint32_t dataRva = Le32(dataEntry), dataSize = Le32(dataEntry + 4);
    uint8_t last;
    if (!dataSize || !RvaToFileOffset(layout, dataRva, dataSize, offset) ||
        !image.read(image.context, *offset + dataSize - 1, &last, 1))  // a section may claim more than the file holds
        return false;
    *size = dataSize;
    return true;
}

void VersionSubBlockName(unsigned language, unsigned codePage, wchar_t* out, size_t size) {
    const TextArg args[] = {static_cast<long>(language & 0xffff), static_cast<long>(codePage & 0xffff)};
    FormatText(out, size, kFileVersionBlockPattern, args);
}

bool VersionTextFromResource(const uint8_t* block, size_t size, wchar_t* out, size_t outSize) {
    VersionNode node;
    if (!FindVersionNode(block, size, kTranslationBlock, &node) || node.end - node.value < 4) return false;
    wchar_t name[64];
    VersionSubBlockName(Le16(block + node.value), Le16(block + node.value + 2), name, 64);
    if (!FindVersionNode(block, size, name, &node) || !outSize) return false;
    size_t n = 0;
    for (size_t at = node.value; at + 2 <= node.end && n + 1 < outSize; at += 2) {
        const uint16_t unit = Le16(block + at);
        if (!unit) break;
        out[n++] = static_cast<wchar_t>(unit);
    }
    out[n] = 0;
    return true;
}

bool ReadVersionBlock(const ImageReader& image, const uint16_t* languages, size_t languageCount, uint8_t* block,
                      size_t* length) {
    uint64_t offset;
    uint32_t size;
    if (!FindVersionResource(image, languages, languageCount, &offset, &size)) return false;
    const size_t read = std::min<size_t>(size, kVersionBlockSize);
    if (read < 2 || !image.read(image.context, offset, block, read)) return false;
    *length = std::max<size_t>(read, Le16(block));
    std::memset(block + read, 0, *length - read);
    return true;
}

bool ReadVersionText(const ImageReader& image, const uint16_t* languages, size_t languageCount, uint8_t* block,
                     wchar_t* out, size_t outSize) {
    size_t length;
    return ReadVersionBlock(image, languages, languageCount, block, &length) &&
           VersionTextFromResource(block, length, out, outSize);
}

bool FixedVersionFromResource(const uint8_t* block, size_t size, uint64_t* version) {
    VersionNode root;
    if (!ReadVersionNode(block, 0, size, &root) || root.valueEnd - root.value < 16) return false;
    const uint8_t* fixed = block + root.value;
    if (Le32(fixed) != 0xFEEF04BDu) return false;
    *version = uint64_t{Le32(fixed + 8)} << 32 | Le32(fixed + 12);
    return true;
}

#include "common/pe_image_logic.h"

#include <cstring>

#include "common/texts.h"
#include "common/wide_text.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }

bool Read(const ImageReader& image, uint64_t offset, void* out, size_t size) {
    return image.read(image.context, offset, out, size);
}

bool ReadLe32(const ImageReader& image, uint64_t offset, uint32_t* value) {
    uint8_t bytes[4];
    if (!Read(image, offset, bytes, 4)) return false;
    *value = Le32(bytes);
    return true;
}

constexpr uint16_t kPe32Magic = 0x10b, kPe32PlusMagic = 0x20b;
constexpr uint16_t kFileDll = 0x2000;
constexpr uint32_t kVersionType = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
// More types or names than any real image has; a table that claims more
// is not walked to its end.
constexpr uint32_t kMaxDirectoryEntries = 4096;

// One entry of a resource directory at `directory` (an RVA).
struct ResourceEntry {
    uint32_t name;    // an id, or the top bit with a string's offset
    uint32_t target;  // kSubdirectoryBit with a directory's offset, or a data entry's offset
};

bool ReadResourceEntry(const ImageReader& image, const PeLayout& layout, uint32_t resources, uint32_t directory,
                       uint32_t index, uint32_t* count, ResourceEntry* entry) {
    uint8_t header[16];
    uint64_t offset;
    if (directory > UINT32_MAX - resources || !RvaToFileOffset(image, layout, resources + directory, 16, &offset) ||
        !Read(image, offset, header, 16))
        return false;
    *count = static_cast<uint32_t>(Le16(header + 12)) + Le16(header + 14);
    if (index >= *count || index >= kMaxDirectoryEntries) return false;
    uint8_t bytes[8];
    const uint32_t at = resources + directory + 16 + index * 8;
    if (at < resources || !RvaToFileOffset(image, layout, at, 8, &offset) || !Read(image, offset, bytes, 8))
        return false;
    entry->name = Le32(bytes);
    entry->target = Le32(bytes + 4);
    return true;
}

// The first entry of a subdirectory, which must be a subdirectory again
// (`wantDirectory`) or a data entry.
bool FirstEntry(const ImageReader& image, const PeLayout& layout, uint32_t resources, uint32_t directory,
                bool wantDirectory, uint32_t* target) {
    uint32_t count;
    ResourceEntry entry;
    if (!ReadResourceEntry(image, layout, resources, directory, 0, &count, &entry)) return false;
    if (((entry.target & kSubdirectoryBit) != 0) != wantDirectory) return false;
    *target = entry.target & ~kSubdirectoryBit;
    return true;
}

}  // namespace

bool ReadPeLayout(const ImageReader& image, PeLayout* layout) {
    uint8_t dos[64];
    if (!Read(image, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const uint32_t peOffset = Le32(dos + 0x3c);
    uint8_t header[4 + 20 + 2];  // signature, file header, optional header's magic
    if (!Read(image, peOffset, header, sizeof header) || std::memcmp(header, "PE\0\0", 4) != 0) return false;
    const uint8_t* file = header + 4;
    const uint16_t magic = Le16(header + 24);
    if (magic != kPe32Magic && magic != kPe32PlusMagic) return false;
    layout->info.machine = Le16(file);
    layout->info.isDll = (Le16(file + 18) & kFileDll) != 0;
    layout->info.is64 = magic == kPe32PlusMagic;
    layout->sectionCount = Le16(file + 2);
    layout->optionalSize = Le16(file + 16);
    layout->optionalHeader = uint64_t{peOffset} + 24;
    layout->sectionTable = layout->optionalHeader + layout->optionalSize;
    return layout->sectionCount <= kMaxSections;
}

bool ReadPeImageInfo(const ImageReader& image, PeImageInfo* info) {
    PeLayout layout;
    if (!ReadPeLayout(image, &layout)) return false;
    // The optional header's fixed part and the section table must be there.
    const uint32_t fixedPart = layout.info.is64 ? 112 : 96;
    uint8_t probe;
    if (layout.optionalSize < fixedPart || !Read(image, layout.optionalHeader + fixedPart - 1, &probe, 1))
        return false;
    if (layout.sectionCount && !Read(image, layout.sectionTable + uint64_t{layout.sectionCount} * 40 - 1, &probe, 1))
        return false;
    *info = layout.info;
    return true;
}

bool FindDataDirectory(const ImageReader& image, const PeLayout& layout, uint32_t index, uint32_t* rva,
                       uint32_t* size) {
    const uint32_t countAt = layout.info.is64 ? 108 : 92;
    const uint32_t tableAt = countAt + 4;
    uint32_t count;
    if (layout.optionalSize < tableAt || !ReadLe32(image, layout.optionalHeader + countAt, &count)) return false;
    // Entries beyond the header's own size are not the header's.
    if (index >= count || tableAt + uint64_t{index + 1} * 8 > layout.optionalSize) return false;
    uint8_t entry[8];
    if (!Read(image, layout.optionalHeader + tableAt + uint64_t{index} * 8, entry, 8)) return false;
    *rva = Le32(entry);
    *size = Le32(entry + 4);
    return *rva != 0 && *size != 0;
}

bool RvaToFileOffset(const ImageReader& image, const PeLayout& layout, uint32_t rva, uint32_t size,
                     uint64_t* offset) {
    for (uint16_t i = 0; i < layout.sectionCount && i < kMaxSections; ++i) {
        uint8_t section[40];
        if (!Read(image, layout.sectionTable + uint64_t{i} * 40, section, sizeof section)) return false;
        const uint32_t address = Le32(section + 12), rawSize = Le32(section + 16), rawOffset = Le32(section + 20);
        if (rva < address || rva - address >= rawSize) continue;
        if (uint64_t{rva - address} + size > rawSize) return false;
        *offset = uint64_t{rawOffset} + (rva - address);
        return true;
    }
    return false;
}

bool FindVersionResource(const ImageReader& image, uint64_t* offset, uint32_t* size) {
    PeLayout layout;
    uint32_t resources, resourcesSize;
    if (!ReadPeLayout(image, &layout) ||
        !FindDataDirectory(image, layout, kResourceDirectory, &resources, &resourcesSize))
        return false;
    // Types: the version type's id entry among all of them.
    uint32_t count = 1, names = 0;
    for (uint32_t i = 0; i < count; ++i) {
        ResourceEntry entry;
        if (!ReadResourceEntry(image, layout, resources, 0, i, &count, &entry)) return false;
        if (entry.name != kVersionType) continue;
        if (!(entry.target & kSubdirectoryBit)) return false;
        names = entry.target & ~kSubdirectoryBit;
        break;
    }
    uint32_t languages, data;
    if (!names || !FirstEntry(image, layout, resources, names, true, &languages) ||
        !FirstEntry(image, layout, resources, languages, false, &data) || data > UINT32_MAX - resources)
        return false;
    uint8_t dataEntry[16];
    uint64_t at;
    if (!RvaToFileOffset(image, layout, resources + data, 16, &at) || !Read(image, at, dataEntry, 16)) return false;
    const uint32_t dataRva = Le32(dataEntry), dataSize = Le32(dataEntry + 4);
    uint8_t last;
    if (!dataSize || !RvaToFileOffset(image, layout, dataRva, dataSize, offset) ||
        !Read(image, *offset + dataSize - 1, &last, 1))  // a section may claim more than the file holds
        return false;
    *size = dataSize;
    return true;
}

namespace {

bool ReadMemory(void* context, uint64_t offset, void* out, size_t size) {
    const auto* image = static_cast<const MemoryImage*>(context);
    if (offset > image->size || size > image->size - offset) return false;
    if (size) std::memcpy(out, image->bytes + offset, size);
    return true;
}

}  // namespace

ImageReader MemoryImageReader(const MemoryImage* image) {
    return ImageReader{const_cast<MemoryImage*>(image), ReadMemory};
}

bool ReadImageMachine(const ImageReader& image, ImageMachine* machine) {
    PeImageInfo info;
    if (!ReadPeImageInfo(image, &info)) return false;
    machine->machine = info.machine;
    machine->arm64x = false;
    PeLayout layout;
    uint32_t rva, size;
    uint64_t at;
    uint8_t bytes[8];
    // Only the 64-bit layout of the load configuration has the pointer.
    if (info.machine != kMachineArm64 || !info.is64 || !ReadPeLayout(image, &layout) ||
        !FindDataDirectory(image, layout, kLoadConfigDirectory, &rva, &size) ||
        !RvaToFileOffset(image, layout, rva, kChpeMetadataEnd, &at) || !Read(image, at, bytes, 4) ||
        Le32(bytes) < kChpeMetadataEnd || !Read(image, at + kChpeMetadataAt, bytes, 8))
        return true;
    machine->arm64x = (Le32(bytes) | Le32(bytes + 4)) != 0;
    return true;
}

bool PlugInFitsEditor(const ImageMachine& plugIn, const ImageMachine& editor) {
    return plugIn.machine == editor.machine || (plugIn.arm64x && editor.machine == kMachineX64);
}

const MachineNames* FindMachineNames(uint16_t machine) {
    static const MachineNames kNames[] = {{kMachineX86, L"x86", kMachineX86Name},
                                          {kMachineX64, L"x64", kMachineX64Name},
                                          {kMachineArm64, L"ARM64", kMachineArm64Name}};
    for (const MachineNames& names : kNames)
        if (names.machine == machine) return &names;
    return nullptr;
}

bool FormatMachineName(const ImageMachine& machine, wchar_t* out, size_t size) {
    if (machine.arm64x) return WideCopy(out, size, kMachineArm64xName);
    if (const MachineNames* names = FindMachineNames(machine.machine)) return WideCopy(out, size, names->user);
    const TextArg args[] = {static_cast<long>(machine.machine)};
    return FormatText(out, size, kOtherMachinePattern, args);
}

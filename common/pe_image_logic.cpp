#include "common/pe_image_logic.h"

#include <cstring>

#include "common/little_endian.h"

namespace {

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
constexpr size_t kSectionHeaderSize = 40;

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
    if (layout->sectionCount > kMaxSections) return false;
    uint8_t table[kMaxSections * kSectionHeaderSize];
    if (!Read(image, layout->sectionTable, table, layout->sectionCount * kSectionHeaderSize)) return false;
    for (uint16_t i = 0; i < layout->sectionCount; ++i) {
        const uint8_t* section = table + i * kSectionHeaderSize;
        layout->sections[i] = PeSection{Le32(section + 12), Le32(section + 16), Le32(section + 20)};
    }
    return true;
}

bool ReadPeImageInfo(const ImageReader& image, PeImageInfo* info) {
    PeLayout layout;
    if (!ReadPeLayout(image, &layout)) return false;
    // The optional header's fixed part must be there.
    const uint32_t fixedPart = layout.info.is64 ? 112 : 96;
    uint8_t probe;
    if (layout.optionalSize < fixedPart || !Read(image, layout.optionalHeader + fixedPart - 1, &probe, 1))
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

bool RvaToFileOffset(const PeLayout& layout, uint32_t rva, uint32_t size, uint64_t* offset) {
    for (uint16_t i = 0; i < layout.sectionCount && i < kMaxSections; ++i) {
        const PeSection& section = layout.sections[i];
        if (rva < section.address || rva - section.address >= section.rawSize) continue;
        if (uint64_t{rva - section.address} + size > section.rawSize) return false;
        *offset = uint64_t{section.rawOffset} + (rva - section.address);
        return true;
    }
    return false;
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
        !RvaToFileOffset(layout, rva, kChpeMetadataEnd, &at) || !Read(image, at, bytes, 4) ||
        Le32(bytes) < kChpeMetadataEnd || !Read(image, at + kChpeMetadataAt, bytes, 8))
        return true;
    machine->arm64x = (Le32(bytes) | Le32(bytes + 4)) != 0;
    return true;
}

bool PlugInFitsEditor(const ImageMachine& plugIn, const ImageMachine& editor) {
    return plugIn.machine == editor.machine || (plugIn.arm64x && editor.machine == kMachineX64);
}

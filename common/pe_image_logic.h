// The headers and resources of a PE image (an .exe, .dll or .8bf), read
// through a caller's reader so that the bytes come from a handle that was
// checked, never from a path. Every offset and size in the image is hostile:
// each read is bounded by the reader, each table by its own count. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

// Reads exactly `size` bytes at `offset` into `out`; false past the end of
// the image or on any error.
struct ImageReader {
    void* context;
    bool (*read)(void* context, uint64_t offset, void* out, size_t size);
};

struct PeImageInfo {
    uint16_t machine;  // IMAGE_FILE_HEADER.Machine, as stored
    bool isDll;        // IMAGE_FILE_DLL
    bool is64;         // PE32+ optional header
};

// False when the bytes are not a PE image or it is cut short.
bool ReadPeImageInfo(const ImageReader& image, PeImageInfo* info);

// The first version resource (type 16): its first name, its first language.
// Its file offset and size; false when there is none or it lies outside the
// file.
bool FindVersionResource(const ImageReader& image, uint64_t* offset, uint32_t* size);

// ---- the steps the two above are made of ---------------------------------

// Where the headers say what lies where.
struct PeLayout {
    PeImageInfo info;
    uint64_t optionalHeader;   // file offset of the optional header
    uint32_t optionalSize;     // SizeOfOptionalHeader
    uint64_t sectionTable;     // file offset of the first section header
    uint16_t sectionCount;
};

constexpr uint16_t kMaxSections = 96;  // the loader's own limit
constexpr uint32_t kResourceDirectory = 2;

bool ReadPeLayout(const ImageReader& image, PeLayout* layout);

// Data directory `index` (RVA and size); false when the optional header has
// no such entry or it is empty.
bool FindDataDirectory(const ImageReader& image, const PeLayout& layout, uint32_t index, uint32_t* rva,
                       uint32_t* size);

// The file offset of `size` bytes at `rva`, when a section holds all of them
// in the file's raw data.
bool RvaToFileOffset(const ImageReader& image, const PeLayout& layout, uint32_t rva, uint32_t size,
                     uint64_t* offset);

// A reader over bytes in memory, for tests and for blocks already copied.
struct MemoryImage {
    const uint8_t* bytes;
    size_t size;
};
ImageReader MemoryImageReader(const MemoryImage* image);

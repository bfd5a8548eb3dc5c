// The headers of a PE image (an .exe, .dll or .8bf) and its machine type,
// read through a caller's reader so that the bytes come from a handle that
// was checked, never from a path. Every offset and size in the image is
// hostile: each read is bounded by the reader, each table by its own count.
// Portable.
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
    bool arm64x = false;  // set by ReadImageMachine's caller, not by ReadPeImageInfo
};

// False when the bytes are not a PE image or it is cut short.
bool ReadPeImageInfo(const ImageReader& image, PeImageInfo* info);

// ---- the steps the readers are made of ------------------------------------

constexpr uint16_t kMaxSections = 96;  // the loader's own limit
constexpr uint32_t kResourceDirectory = 2;

struct PeSection {
    uint32_t address, rawSize, rawOffset;
};

// Where the headers say what lies where. The section table is read once, so
// that finding an address costs no read however often it is asked.
struct PeLayout {
    PeImageInfo info;
    uint64_t optionalHeader;   // file offset of the optional header
    uint32_t optionalSize;     // SizeOfOptionalHeader
    uint64_t sectionTable;     // file offset of the first section header
    uint16_t sectionCount;
    PeSection sections[kMaxSections];
};

// False when the bytes are not a PE image or its section table is cut short.
bool ReadPeLayout(const ImageReader& image, PeLayout* layout);

// Data directory `index` (RVA and size); false when the optional header has
// no such entry or it is empty.
bool FindDataDirectory(const ImageReader& image, const PeLayout& layout, uint32_t index, uint32_t* rva,
                       uint32_t* size);

// The file offset of `size` bytes at `rva`, when a section holds all of them
// in the file's raw data.
bool RvaToFileOffset(const PeLayout& layout, uint32_t rva, uint32_t size, uint64_t* offset);

// A reader over bytes in memory, for tests and for blocks already copied.
struct MemoryImage {
    const uint8_t* bytes;
    size_t size;
};
ImageReader MemoryImageReader(const MemoryImage* image);

// ---- machine types: which editor loads which plug-in -----------------------

constexpr uint16_t kMachineX86 = 0x014c, kMachineX64 = 0x8664, kMachineArm64 = 0xaa64;
constexpr uint32_t kLoadConfigDirectory = 10;
// Where a 64-bit load configuration holds its CHPE metadata pointer, and the
// size that covers it.
constexpr uint32_t kChpeMetadataAt = 0xc8, kChpeMetadataEnd = 0xd0;

struct ImageMachine {
    uint16_t machine;  // as stored
    bool arm64x;       // ARM64 code with an x64-compatible half besides
};

// The machine of a PE image, and whether it is ARM64X: an ARM64 image whose
// load configuration (its own Size field reaching that far) holds a CHPE
// metadata pointer, the x64-compatible code that x64 processes load. False
// when it is no PE image; a load configuration that cannot be read leaves
// `arm64x` false.
bool ReadImageMachine(const ImageReader& image, ImageMachine* machine);

// Whether an editor of one machine loads a plug-in of another: the same
// machine, or an ARM64X plug-in in an x64 editor. An ARM64X editor runs as
// ARM64.
bool PlugInFitsEditor(const ImageMachine& plugIn, const ImageMachine& editor);

// The PE reader over arbitrary bytes: it reads only through the reader, and
// what it finds lies inside the image. The same bytes as a version resource:
// its text stays within the block and the output.
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "common/machine_names_logic.h"
#include "common/pe_image_logic.h"
#include "common/version_resource_logic.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so ASan sees any read past the image.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(copy.get(), data, size);
    const MemoryImage memory{copy.get(), size};
    const ImageReader reader = MemoryImageReader(&memory);
    PeImageInfo info{};
    ReadPeImageInfo(reader, &info);
    uint64_t offset = 0;
    uint32_t length = 0;
    uint16_t languages[kResourceLanguageCount];
    ResourceLanguageOrder(static_cast<uint16_t>(size), languages);
    if (FindVersionResource(reader, languages, kResourceLanguageCount, &offset, &length)) {
        CONTRACT(length > 0 && offset <= size && length <= size - offset);
        PeLayout layout{};
        CONTRACT(ReadPeLayout(reader, &layout));
    }
    // The machine agrees with the headers; only ARM64 is ever hybrid; each
    // machine fits an editor of its own; its name is terminated in any room.
    ImageMachine machine{};
    const bool read = ReadImageMachine(reader, &machine);
    CONTRACT(read == ReadPeImageInfo(reader, &info));
    if (read) {
        CONTRACT(machine.machine == info.machine && (!machine.arm64x || machine.machine == kMachineArm64));
        CONTRACT(PlugInFitsEditor(machine, machine));
        CONTRACT(PlugInFitsEditor(machine, ImageMachine{kMachineX64, false}) ==
                 (machine.machine == kMachineX64 || machine.arm64x));
        wchar_t name[24];
        const size_t room = 1 + size % 24;
        FormatMachineName(machine, name, room);
        CONTRACT(std::wcslen(name) < room);
    }
    const size_t outSize = 1 + size % 130;
    std::unique_ptr<wchar_t[]> out(new wchar_t[outSize]);
    if (VersionTextFromResource(copy.get(), size, out.get(), outSize)) {
        size_t length = 0;
        while (length < outSize && out[length]) ++length;
        CONTRACT(length < outSize && length * 2 <= size);
    }
    // The whole read: the text stays within the output, found or not.
    std::unique_ptr<uint8_t[]> block(new uint8_t[kVersionBlockSize]);
    out[0] = 0;
    ReadVersionText(reader, languages, kResourceLanguageCount, block.get(), out.get(), outSize);
    CONTRACT(std::wcslen(out.get()) < outSize);
    return 0;
}

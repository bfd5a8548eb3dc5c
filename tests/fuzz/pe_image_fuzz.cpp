// The PE reader over arbitrary bytes: it reads only through the reader, and
// what it finds lies inside the image. The same bytes as a version resource:
// its text stays within the block and the output.
#include <cstdint>
#include <cstring>

#include "catalog/catalog_logic.h"
#include "common/pe_image_logic.h"
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
    if (FindVersionResource(reader, &offset, &length)) {
        CONTRACT(length > 0 && offset <= size && length <= size - offset);
        PeLayout layout{};
        CONTRACT(ReadPeLayout(reader, &layout));
    }
    const size_t outSize = 1 + size % 130;
    std::unique_ptr<wchar_t[]> out(new wchar_t[outSize]);
    if (VersionTextFromResource(copy.get(), size, out.get(), outSize)) {
        size_t length = 0;
        while (length < outSize && out[length]) ++length;
        CONTRACT(length < outSize && length * 2 <= size);
    }
    return 0;
}

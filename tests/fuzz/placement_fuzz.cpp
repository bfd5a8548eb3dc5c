// The dialog position over any int inputs: no overflow, and the header's rule
// worked out in 64 bits with the result clamped into int range.
#include <climits>
#include <cstdint>

#include "app/placement_logic.h"
#include "fuzz_support.h"

namespace {

int Clamped(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

// Moved back to the screen's edge, but not past its origin, when the far edge would leave it.
int64_t KeptOnScreen(int64_t position, int64_t extent, int64_t screen) {
    return position + extent > screen ? std::max<int64_t>(screen - extent, 0) : position;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    PlacementInput p;
    for (int* field : {&p.left, &p.top, &p.right, &p.bottom, &p.width, &p.height, &p.captionButtonWidth,
                       &p.screenWidth, &p.screenHeight})
        *field = static_cast<int32_t>(in.Number());
    p.hasSystemMenu = in.Byte() & 1;
    const PlacementPoint got = ComputeDialogPosition(p);

    const int64_t s = p.captionButtonWidth, shift = p.hasSystemMenu ? s : s - s / 3;
    const int64_t freeWidth = std::max<int64_t>(int64_t{p.right} - p.left - p.width, 0);
    const int64_t freeHeight = std::max<int64_t>(int64_t{p.bottom} - p.top - p.height, 0);
    const int64_t x = KeptOnScreen(p.left + freeWidth / 2 - shift, p.width, p.screenWidth);
    const int64_t y = KeptOnScreen(p.top + freeHeight / 3, p.height, p.screenHeight);
    CONTRACT(got.x == Clamped(x) && got.y == Clamped(y));
    return 0;
}

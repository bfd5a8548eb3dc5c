#include "app/placement_logic.h"

#include <climits>
#include <cstdint>

// Any int coordinates are accepted, so sums are formed in 64 bits and only the
// result is brought back into int range.
static int ClampToInt(int64_t value) {
    return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

PlacementPoint ComputeDialogPosition(const PlacementInput& in) {
    const int64_t s = in.captionButtonWidth;
    const int64_t shift = in.hasSystemMenu ? s : s - s / 3;
    int64_t freeWidth = int64_t{in.right} - in.left - in.width;
    if (freeWidth < 0) freeWidth = 0;
    int64_t freeHeight = int64_t{in.bottom} - in.top - in.height;
    if (freeHeight < 0) freeHeight = 0;
    int64_t x = in.left + freeWidth / 2 - shift, y = in.top + freeHeight / 3;
    if (x + in.width > in.screenWidth) {
        x = int64_t{in.screenWidth} - in.width;
        if (x < 0) x = 0;
    }
    if (y + in.height > in.screenHeight) {
        y = int64_t{in.screenHeight} - in.height;
        if (y < 0) y = 0;
    }
    return {ClampToInt(x), ClampToInt(y)};
}

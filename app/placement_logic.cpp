#include "app/placement_logic.h"

PlacementPoint ComputeDialogPosition(const PlacementInput& in) {
    const int s = in.captionButtonWidth;
    const int shift = in.hasSystemMenu ? s : s - s / 3;
    int freeWidth = in.right - in.left - in.width;
    if (freeWidth < 0) freeWidth = 0;
    int freeHeight = in.bottom - in.top - in.height;
    if (freeHeight < 0) freeHeight = 0;
    PlacementPoint p{in.left + freeWidth / 2 - shift, in.top + freeHeight / 3};
    if (p.x + in.width > in.screenWidth) {
        p.x = in.screenWidth - in.width;
        if (p.x < 0) p.x = 0;
    }
    if (p.y + in.height > in.screenHeight) {
        p.y = in.screenHeight - in.height;
        if (p.y < 0) p.y = 0;
    }
    return p;
}

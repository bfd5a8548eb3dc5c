// Where the setup dialog goes on the screen. Portable; all values in pixels.
#pragma once

struct PlacementInput {
    int left, top, right, bottom;  // the reference area in screen coordinates
    int width, height;             // the dialog's window size
    int captionButtonWidth;        // SM_CXSIZE
    bool hasSystemMenu;
    int screenWidth, screenHeight;  // SM_CXSCREEN, SM_CYSCREEN
};

struct PlacementPoint {
    int x, y;
};

// One caption-button width left of the horizontal centre, a third of the way
// down, moved back when the right or bottom edge would leave the screen.
PlacementPoint ComputeDialogPosition(const PlacementInput& in);

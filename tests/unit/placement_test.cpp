#include <gtest/gtest.h>

#include <climits>

#include "app/placement_logic.h"

TEST(Placement, DialogPosition) {
    // in: left, top, right, bottom, width, height, caption-button width, system menu, screen width and height
    struct Case { const char* name; PlacementInput in; int x, y; };
    const Case cases[] = {
        {"desktop 1024x768", {0, 0, 1024, 768, 600, 250, 18, true, 1024, 768}, 194, 172},
        {"no system menu: s - s/3, truncated", {0, 0, 1024, 768, 600, 250, 20, false, 1024, 768}, 198, 172},
        {"parent area, odd halves and thirds", {100, 50, 701, 452, 300, 200, 18, true, 1024, 768}, 232, 117},
        {"as wide as the screen plus s stays at -s", {0, 0, 1024, 768, 1042, 250, 18, true, 1024, 768}, -18, 172},
        {"one pixel wider goes to 0", {0, 0, 1024, 768, 1043, 250, 18, true, 1024, 768}, 0, 172},
        {"right edge off screen", {800, 0, 1400, 768, 400, 250, 18, true, 1024, 768}, 624, 172},
        {"bottom edge off screen", {0, 600, 1024, 1000, 600, 300, 18, true, 1024, 768}, 194, 468},
        {"taller than the screen", {0, 100, 1024, 768, 600, 800, 18, true, 1024, 768}, 194, 0},
        {"bottom edge exactly at the screen's stays", {0, -32, 1024, 768, 600, 800, 18, true, 1024, 768}, 194, -32},
        {"taller than the parent", {0, 100, 1024, 300, 600, 300, 18, true, 1024, 768}, 194, 100},
        {"left of the screen is kept", {-500, -400, -100, -100, 200, 100, 18, true, 1024, 768}, -418, -334},
        {"extremes: no overflow, x held at INT_MIN",
         {INT_MIN, INT_MIN, INT_MIN, INT_MAX, 0, 0, INT_MAX, true, INT_MAX, INT_MAX}, INT_MIN, -715827883},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlacementPoint p = ComputeDialogPosition(c.in);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
    }
}

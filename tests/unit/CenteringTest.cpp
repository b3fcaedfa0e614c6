// The centring arithmetic of the wizard window.
#include "ui/Centering.h"
#include <climits>
#include <gtest/gtest.h>

namespace {

TEST(Centering, PositionTable)
{
    struct Row {
        ScreenRect window;
        ScreenRect area;
        ScreenPoint expected;
    } rows[] = {
        // A plain 1024 x 768 screen without a taskbar.
        {{0, 0, 400, 300}, {0, 0, 1024, 768}, {312, 234}},
        // Taskbar at the top: the middle of 28..600 is 314, less half of 400.
        {{0, 0, 500, 400}, {0, 28, 800, 600}, {150, 114}},
        // Where the window is now does not matter, only its size.
        {{-900, 5000, -500, 5400}, {0, 28, 800, 600}, {200, 114}},
        // Odd sums and sizes: each half is taken on its own, truncated.
        {{0, 0, 401, 301}, {0, 0, 1023, 767}, {311, 233}},
        // Larger than the area: the left and top edges win.
        {{0, 0, 1200, 900}, {0, 28, 800, 600}, {0, 28}},
        {{0, 0, 1200, 100}, {100, 0, 900, 600}, {100, 250}},
        // Exactly the area's size.
        {{10, 10, 810, 582}, {0, 28, 800, 600}, {0, 28}},
        // Work areas in negative coordinates (a monitor left of or above the primary one):
        // the halves truncate toward zero, not downward.
        {{0, 0, 301, 201}, {-1024, -768, 0, 0}, {-662, -484}},
        {{0, 0, 3, 3}, {-5, -5, 0, 0}, {-3, -3}},
        {{0, 0, 4, 4}, {-5, -4, 0, 0}, {-4, -4}},
        // Empty and inverted rectangles stay inside the area as far as they can.
        {{0, 0, 0, 0}, {0, 0, 100, 100}, {50, 50}},
        {{100, 100, 0, 0}, {0, 0, 100, 100}, {100, 100}},
        // Extreme coordinates neither overflow nor wrap around.
        {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 100, 100}, {0, 0}},
        {{0, 0, 10, 10}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {-5, -5}},
        {{0, 0, 10, 10}, {INT_MAX - 4, INT_MAX - 4, INT_MAX, INT_MAX}, {INT_MAX - 4, INT_MAX - 4}},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        ScreenPoint at = CenteredPosition(rows[i].window, rows[i].area);
        EXPECT_EQ(rows[i].expected.x, at.x) << "row " << i;
        EXPECT_EQ(rows[i].expected.y, at.y) << "row " << i;
    }
}

}  // namespace

// Where a window goes to sit in the middle of the desktop work area (no Win32 here).
#pragma once

struct ScreenRect {
    int left, top, right, bottom;
};

struct ScreenPoint {
    int x, y;
};

// The top-left corner that centres `window` (its current rectangle) in `workArea`:
// x = (A.left + A.right) / 2 - w / 2, and y likewise, each division truncating toward zero;
// then pulled back inside the area, the left and top edges winning over the right and
// bottom ones for a window larger than the area.
ScreenPoint CenteredPosition(const ScreenRect& window, const ScreenRect& workArea);

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
// then an x left of the area becomes A.left, or else an x whose window ends right of the
// area becomes A.right - w (y likewise with the top and bottom). The left test comes first,
// but for a window larger than the area it is the second that may apply: a centred x of
// exactly A.left becomes A.right - w, left of the area.
ScreenPoint CenteredPosition(const ScreenRect& window, const ScreenRect& workArea);

// Where a window goes to sit in the middle of the desktop work area.
#include "ui/Centering.h"
#include <climits>

namespace {

// Wide enough that no sum or difference of two int coordinates overflows.
typedef long long Wide;

int Saturate(Wide value)
{
    if (value < INT_MIN) return INT_MIN;
    if (value > INT_MAX) return INT_MAX;
    return static_cast<int>(value);
}

// One axis: the window spans `size`, the area runs from `low` to `high`.
int CenteredCoordinate(Wide size, Wide low, Wide high)
{
    Wide position = (low + high) / 2 - size / 2;  // C++ division truncates toward zero
    if (position < low)
        position = low;
    else if (position + size > high)
        position = high - size;
    return Saturate(position);
}

}  // namespace

ScreenPoint CenteredPosition(const ScreenRect& window, const ScreenRect& workArea)
{
    Wide width = static_cast<Wide>(window.right) - window.left;
    Wide height = static_cast<Wide>(window.bottom) - window.top;
    ScreenPoint point;
    point.x = CenteredCoordinate(width, workArea.left, workArea.right);
    point.y = CenteredCoordinate(height, workArea.top, workArea.bottom);
    return point;
}

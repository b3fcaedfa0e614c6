// Fuzzes the wizard's placement and intro text: the window lands inside the work area when it
// fits, on one of its edges when it does not; the intro never leaves its buffer.
#include "FuzzInput.h"
#include "ui/Centering.h"
#include "ui/IntroText.h"
#include <cstring>

namespace {

int Field(const uint8_t* data, size_t size, size_t index)
{
    int value = 0;
    if (size >= (index + 1) * 4) std::memcpy(&value, data + index * 4, 4);
    return value;
}

// One axis: `start` and `length` of the window, `low`/`high` of the area.
void CheckAxis(long long position, long long length, long long low, long long high)
{
    if (length <= high - low) {
        FUZZ_CHECK(position >= low && position + length <= high);
    } else {
        // Too large: the left or top edge, or, when halving rounded the start onto the edge
        // itself, the right or bottom one (the clamps are tested in that order).
        FUZZ_CHECK(position == low || position == high - length);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Screen coordinates stay within what a display can have; the window's own size too.
    ScreenRect window = {Field(data, size, 0) % 40000, Field(data, size, 1) % 40000, 0, 0};
    window.right = window.left + (Field(data, size, 2) & 0x7FFF);
    window.bottom = window.top + (Field(data, size, 3) & 0x7FFF);
    ScreenRect area = {Field(data, size, 4) % 40000, Field(data, size, 5) % 40000, 0, 0};
    area.right = area.left + (Field(data, size, 6) & 0x7FFF);
    area.bottom = area.top + (Field(data, size, 7) & 0x7FFF);
    ScreenPoint point = CenteredPosition(window, area);
    CheckAxis(point.x, window.right - window.left, area.left, area.right);
    CheckAxis(point.y, window.bottom - window.top, area.top, area.bottom);

    if (size > 32) {
        std::vector<std::string> fields = SplitFields(data + 32, size - 32, 3);
        size_t limit = fields[2].size() % 300 + 1;
        std::vector<char> out(limit + 16, '\x7F');
        FormatIntroText(fields[0].c_str(), fields[1].c_str(), out.data(), limit);
        FUZZ_CHECK(std::memchr(out.data(), '\0', limit) != nullptr);
        for (size_t i = limit; i < out.size(); ++i) FUZZ_CHECK(out[i] == '\x7F');
    }
    return 0;
}

// Fuzzes the restore decisions: every composed path fits the buffer it goes through, a
// registry text is never read past its length, and the plan's steps follow their bits.
#include "restore/RestorePlan.h"
#include "base/Text.h"
#include "engine/EntryPaths.h"
#include "rules/PlaceRules.h"
#include "tests/fuzz/FuzzInput.h"
#include <cstring>
#include <memory>

namespace {

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void CheckPaths(const std::string& text)
{
    std::string path = "untouched";
    if (MaintenanceShortcutPath(text, &path)) {
        FUZZ_CHECK(path.size() + 1 <= kShortcutPathBufferSize && path == text + ".lnk");
        FUZZ_CHECK(CheckFullPath(text) == RefusalRule::kNone);  // never relative, never a device form
    } else {
        FUZZ_CHECK(path == "untouched");
    }
    path = "untouched";
    if (MaintenanceShortcutTarget(text, &path)) {
        FUZZ_CHECK(path.size() <= kMaxPathChars && path == text + "\\tuneup.exe");
    } else {
        FUZZ_CHECK(path == "untouched");
    }
    path = "untouched";
    if (QuickLaunchShortcutPath(text, &path)) {
        FUZZ_CHECK(path.size() + 1 <= kAppDataBufferSize && path.compare(0, text.size(), text) == 0);
        FUZZ_CHECK(EndsWith(path, "\\Quick Launch\\Morwa Antivirus.lnk"));
        FUZZ_CHECK(CheckFullPath(text) == RefusalRule::kNone);
    } else {
        FUZZ_CHECK(path == "untouched");
    }
    path = "untouched";
    if (InstallDirProbe(text, &path)) {
        FUZZ_CHECK(!path.empty() && path.size() + 1 == text.size());
    } else {
        FUZZ_CHECK(path == "untouched");
    }
    // A marker short enough to match the drive's other lines ("C:", "C:\") is never used.
    path = "untouched";
    if (InstallDirMarker(text, &path)) {
        FUZZ_CHECK(path.size() == text.size() && path.size() > 3);
        for (char c : path) FUZZ_CHECK(!(c >= 'a' && c <= 'z'));
    } else {
        FUZZ_CHECK(path == "untouched");
    }
}

void CheckValueText(const uint8_t* data, size_t size, size_t length, bool textType)
{
    // The value as read into a buffer of exactly `size` bytes.
    std::unique_ptr<char[]> buffer(new char[size == 0 ? 1 : size]);
    std::memcpy(buffer.get(), data, size);
    std::string text = "untouched";
    if (!RegistryValueText(buffer.get(), length, size, textType, &text)) {
        FUZZ_CHECK(text == "untouched");
        return;
    }
    FUZZ_CHECK(textType && length <= size);
    FUZZ_CHECK(text.size() <= length && text.find('\0') == std::string::npos);
    FUZZ_CHECK(std::memcmp(text.data(), buffer.get(), text.size()) == 0);
    // Cut on reading (no terminator within the buffer) is refused, never taken as whole.
    FUZZ_CHECK(text.size() < length || length < size);
}

// Steps that act beyond the selected modules: never on a partial removal, never off their
// platform.
void CheckPlan(uint32_t actionFlags, uint32_t productBit, bool maintenancePlatform)
{
    RestorePlan plan = PlanRestore(actionFlags, productBit, maintenancePlatform);
    if (actionFlags != 0) FUZZ_CHECK(!plan.installDirLine && !plan.jobs);
    if (!maintenancePlatform) FUZZ_CHECK(!plan.maintenance);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 10) return 0;
    uint32_t actionFlags = 0, productBit = 0;
    std::memcpy(&actionFlags, data, 4);
    std::memcpy(&productBit, data + 4, 4);
    CheckPlan(actionFlags, productBit, data[8] & 1);

    size_t length = size - 10;
    // The length the registry reports may run past the buffer (a damaged answer).
    size_t reported = (data[9] & 0x80) ? length + (data[9] & 0x0F) : length - (data[9] & 0x0F) % (length + 1);
    CheckValueText(data + 10, length, reported, data[8] & 2);
    CheckPaths(std::string(reinterpret_cast<const char*>(data + 10), length));
    return 0;
}

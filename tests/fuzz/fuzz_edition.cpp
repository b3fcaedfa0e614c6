// Fuzzes the edition index and the texts formatted with the edition's name: the index stays
// within the table, and the format's only "%s" takes the name once.
#include "app/Edition.h"
#include "tests/fuzz/FuzzInput.h"
#include <cstring>

namespace {

// Counts the "%s" that a printf-style reading of `format` would fill, left to right, "%%"
// being a literal percent sign.
size_t CountNameSlots(const std::string& format)
{
    size_t slots = 0;
    for (size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (format[i + 1] == 's') ++slots;
        ++i;
    }
    return slots;
}

size_t CountPercentPairs(const std::string& format)
{
    size_t pairs = 0;
    for (size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (format[i + 1] == '%') ++pairs;
        ++i;
    }
    return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint32_t productBit = 0;
    std::memcpy(&productBit, data, size < 4 ? size : 4);
    int index = EditionIndex(productBit);
    FUZZ_CHECK(index >= -1 && index <= 2);
    if (index >= 0) {
        FUZZ_CHECK(productBit >= 1 && productBit <= 7);
        FUZZ_CHECK((productBit >> index) == 1u);  // the highest bit set
    } else {
        FUZZ_CHECK(productBit == 0 || productBit >= 8);
    }
    const char* name = EditionName(productBit);
    FUZZ_CHECK(name != nullptr);
    int low = EditionIndex(productBit & 7u);
    FUZZ_CHECK(name == (low < 0 ? allEditionsName : editionNames[low]));

    std::vector<std::string> field = SplitFields(data, size, 2);
    const std::string& format = field[0];
    const std::string& shown = field[1];
    std::string text = FormatWithName(format, shown);
    // Only a "%s" or "%%" changes anything: the name comes in at most once, every "%%"
    // becomes one percent sign, and every other byte of the format stays.
    size_t slots = CountNameSlots(format);
    size_t used = slots > 0 ? 1 : 0;
    FUZZ_CHECK(text.size() == format.size() - CountPercentPairs(format) - 2 * used +
                                  used * shown.size());
    if (format.find('%') == std::string::npos) FUZZ_CHECK(text == format);
    if (slots > 0) {
        size_t at = format.find("%s");
        bool plain = format.substr(0, at).find('%') == std::string::npos;
        if (plain) FUZZ_CHECK(text.compare(at, shown.size(), shown) == 0);
    }
    return 0;
}

// The intro text of the progress page: the template with the edition name filled in.
#include "ui/IntroText.h"
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

TEST(IntroText, FormatTable)
{
    struct Row { const char* pattern; const char* name; size_t size; const char* expected; } rows[] = {
        {"The uninstallation of the %s application will now begin.", "Morwa antivirus 6.0 Windows 95/98",
         256, "The uninstallation of the Morwa antivirus 6.0 Windows 95/98 application will now begin."},
        {"%s", "abc", 256, "abc"},
        {"no name here", "abc", 256, "no name here"},
        {"", "abc", 256, ""},                          // a missing template gives an empty text
        {"%s and %s", "a", 256, "a and %s"},            // only one name is given
        {"100%% %s %d %", "x", 256, "100% x %d %"},     // no other conversion is taken
        {"%%s %s", "x", 256, "%s x"},
        {"abc %s def", "NAME", 8, "abc NAM"},           // cut to size - 1
        {"abcdef", "x", 1, ""},
        {"ab%s", "", 256, "ab"},
        {"%s", "Morwa antivirus 6.0 Exchange Internet Windows 95/98", 20, "Morwa antivirus 6.0"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        char out[300];
        memset(out, 'Z', sizeof out);
        FormatIntroText(rows[i].pattern, rows[i].name, out, rows[i].size);
        EXPECT_EQ(std::string(rows[i].expected), out) << "row " << i;
        // Nothing is written past the stated size.
        EXPECT_EQ('Z', out[rows[i].size]) << "row " << i;
    }
}

}  // namespace

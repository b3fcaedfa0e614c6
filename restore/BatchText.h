// The line filter of the start-up batch file (no Win32 here).
#pragma once
#include <string>

// Reads `content` as a DOS text file (CR LF and LF end a line, a lone CR is text, Ctrl-Z
// ends the text), drops every line whose upper-cased form contains `marker` (compared as
// given), and returns the kept lines with CR LF line ends. A line is kept or dropped whole,
// whatever its length. An empty marker drops nothing. `dropped`, when given, receives the
// number of lines dropped.
std::string FilterBatchLines(const std::string& content, const std::string& marker,
                             size_t* dropped = nullptr);

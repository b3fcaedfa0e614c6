// The line filter of the start-up batch file (no Win32 here).
#pragma once
#include <string>

// How a marker must stand in a line for the line to go.
enum class MarkerMatch {
    kAnywhere,   // anywhere in the line ("QELCL")
    kWholeName,  // as a whole path name: no letter or digit just before it, and after it a
                 // backslash, ';', a blank, a tab, a quote, '=' or the line's end (the install
                 // directory C:\AV matches C:\AV\QELCL.EXE and PATH=...;C:\AV, not C:\AVTOOLS)
};

// True when the upper-cased line holds `marker` as `match` asks.
bool LineHoldsMarker(const std::string& upperLine, const std::string& marker, MarkerMatch match);

// Reads `content` as a DOS text file (CR LF and LF end a line, a lone CR is text, Ctrl-Z
// ends the text), drops every line whose upper-cased form holds `marker` (compared as given),
// and returns the kept lines with CR LF line ends. A line is kept or dropped whole, whatever
// its length. An empty marker drops nothing. `dropped`, when given, receives the number of
// lines dropped.
std::string FilterBatchLines(const std::string& content, const std::string& marker,
                             size_t* dropped = nullptr, MarkerMatch match = MarkerMatch::kAnywhere);

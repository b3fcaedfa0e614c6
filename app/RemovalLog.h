// The removal log that support asks for with /LOG: one line per action, in the order done.
// Off unless asked for; a log that cannot be opened or written is dropped silently, and with
// the log off every call site costs one test of a flag.
#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>

class LineWriter;

namespace removal_log {

// True while lines are taken (kept in memory until Open, then written to the file).
extern bool on;

// What an action did, for the counts of the last line.
enum Outcome { kRemoved, kRefused, kLeft };

// Asks for a log at `requestedPath` (empty: the default name in the temporary directory). Lines
// are kept until Open decides where they go.
void Request(const std::string& requestedPath);

// Opens the log, appending, and writes the lines kept so far. The log is dropped (and `on`
// cleared) when its file cannot be opened or lies in `installDir`.
void Open(const char* installDir);

// Writes the last line, with the counts, and closes the file.
void Close();

// The full path of the log, for the retry run's switch; empty when no log is written.
const char* Path();

// A system error code, written as "error 5 (access denied)" only when the line is written.
struct ErrorCode {
    unsigned long code;
};

// One piece of a line: a text, a number or an error code, written out only when the line is.
// Call sites pass what they already hold, so that a run without a log builds no text.
class Piece {
public:
    Piece(const char* text) : kind_(kText), text_(text ? text : ""), value_(0) {}
    Piece(const std::string& text) : kind_(kText), text_(text.c_str()), value_(0) {}
    Piece(int number) : Piece(static_cast<long long>(number)) {}
    Piece(long number) : Piece(static_cast<long long>(number)) {}
    Piece(long long number)
        : kind_(number < 0 ? kNegative : kNumber), text_(""),
          value_(number < 0 ? 0ull - static_cast<unsigned long long>(number)
                            : static_cast<unsigned long long>(number))
    {
    }
    Piece(unsigned number) : kind_(kNumber), text_(""), value_(number) {}
    Piece(unsigned long number) : kind_(kNumber), text_(""), value_(number) {}
    Piece(unsigned long long number) : kind_(kNumber), text_(""), value_(number) {}
    Piece(ErrorCode error) : kind_(kError), text_(""), value_(error.code) {}
    bool empty() const { return kind_ == kText && text_[0] == '\0'; }
    void WriteTo(LineWriter& line) const;

private:
    enum Kind { kText, kNumber, kNegative, kError };
    Kind kind_;
    const char* text_;
    unsigned long long value_;
};

// Writes the time, `keyword` and the pieces joined by blanks (empty pieces left out).
void WriteLine(const char* keyword, std::initializer_list<Piece> pieces);

// Counts an outcome for the last line.
void Count(Outcome outcome);

}  // namespace removal_log

// A line of the log; nothing but the flag's test when the log is off.
template <typename... Pieces> inline void LogLine(const char* keyword, const Pieces&... pieces)
{
    if (removal_log::on) removal_log::WriteLine(keyword, {removal_log::Piece(pieces)...});
}

// A line that also counts toward the last line's removed, refused or left.
template <typename... Pieces>
inline void LogOutcome(removal_log::Outcome outcome, const char* keyword, const Pieces&... pieces)
{
    if (removal_log::on) {
        removal_log::Count(outcome);
        removal_log::WriteLine(keyword, {removal_log::Piece(pieces)...});
    }
}

// The removal log that support asks for with /LOG: one line per action, in the order done.
// Off unless asked for; a log that cannot be opened or written is dropped silently, and with
// the log off every call site costs one test of a flag.
#pragma once
#include <string>

namespace removal_log {

// True while lines are taken (kept in memory until Open, then written to the file).
extern bool on;

// What an action did, for the counts of the last line.
// kCannotTell: kept because the program cannot tell whose it is or where it lies; counted apart.
enum Tally { kRemoved, kRefused, kLeft, kCannotTell };

// Asks for a log at `requestedPath` (empty: the default name in the temporary directory). Lines
// are kept until Open decides where they go. `forRetry`: the retry run writes to it too (a log
// the command line asked for; not the one a preview keeps of its own accord).
void Request(const std::string& requestedPath, bool forRetry = true);

// Whether the log may lie at its full path; the caller knows the places it must stay out of.
typedef bool (*PlaceCheck)(const char* fullLogPath);

// Opens the log, appending, and writes the lines kept so far. The log is dropped (and `on`
// cleared) when its file cannot be opened or `mayLieAt` (when given) refuses its place.
void Open(PlaceCheck mayLieAt);

// The run is a preview: the last line counts what the run would remove.
void MarkPreview();

// Writes the last line, with the counts, and closes the file.
void Close();

// The full path of the log; empty when no log is written.
const char* Path();

// The same for the retry run's switch: empty too when the log is not the retry run's.
const char* RetryPath();

// One line: the time, `keyword` and the details from `format` (see FormatLogDetails: %s, %c,
// %d, %i, %u, %x and %%, with l or ll for long and long long).
void Write(const char* keyword, const char* format, ...)
    __attribute__((format(gnu_printf, 2, 3)));

// The same, counted toward the last line's removed, refused or left.
void WriteCounted(Tally outcome, const char* keyword, const char* format, ...)
    __attribute__((format(gnu_printf, 3, 4)));

// " (access denied)": the name of a system error code a removal meets, or "".
const char* ErrorName(unsigned long code);

}  // namespace removal_log

// The call sites: the arguments are evaluated only when the log is on, so that a run without a
// log builds no text; and a call site is a test and a call, whatever it writes.
#define LOG_LINE(keyword, ...)                                                   \
    do {                                                                         \
        if (removal_log::on) removal_log::Write(keyword, __VA_ARGS__);           \
    } while (0)
#define LOG_OUTCOME(outcome, keyword, ...)                                       \
    do {                                                                         \
        if (removal_log::on)                                                     \
            removal_log::WriteCounted(removal_log::outcome, keyword, __VA_ARGS__); \
    } while (0)

// A refusal, counted apart when the program cannot tell whose the item is.
#define LOG_REFUSAL(cannotTell, keyword, ...)                                   \
    do {                                                                         \
        if (removal_log::on)                                                     \
            removal_log::WriteCounted((cannotTell) ? removal_log::kCannotTell    \
                                                   : removal_log::kRefused,      \
                                      keyword, __VA_ARGS__);                     \
    } while (0)

// "error 5 (access denied)" as a format piece and its arguments.
#define LOG_ERROR_FORMAT "error %lu%s"
#define LOG_ERROR_ARGS(code) static_cast<unsigned long>(code), removal_log::ErrorName(code)

// The texts of the self-removal: the batch that deletes the program, and the retry value
// (no Win32 here).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

const size_t kMaxBatchChars = 999;   // the batch text's buffer holds 1000 bytes
const size_t kRetryValueSize = 255;  // bytes stored for the retry value

// The text of autodel.bat: a loop that deletes `exePath` and tries to remove the install
// directory (`installDir` without its last character) until the executable is gone, then
// "rmdir" of the executable's path cut before its first backslash, then the deletion of
// `batchPath` itself; six lines, each ended by CR LF. Each path stands in double quotes with
// its "%" doubled, as a batch line must spell it. False, with *text untouched, when a path
// exceeds 259 characters or holds a quote or a control character, `exePath` holds no
// backslash, `installDir` is empty, or the text would exceed kMaxBatchChars.
bool FormatRemovalBatch(const std::string& exePath, const std::string& installDir,
                        const std::string& batchPath, std::string* text);

// Where the batch goes: `tempDir` (as GetTempPathA gives it, with its trailing backslash) and
// "autodel.bat", or C:\autodel.bat when there is no temporary directory (`tempDir` empty). Empty
// when the path would exceed 259 characters.
std::string RemovalBatchPath(const std::string& tempDir);

// The path in double quotes when it holds a blank, so that a command line cannot start a
// program named by a prefix of it; otherwise the path as it is.
std::string QuoteIfBlank(const std::string& path);

// The RunOnce text of a retry run, installDir + "uninstall.exe" (quoted when that holds a
// blank), a blank and retryCommandLine, in `buffer` of `size` bytes (at least 256), zero-filled
// behind the text, so that the value can be stored with kRetryValueSize bytes. False, with
// the buffer all zero, when the text and its terminator would not fit those bytes, or when
// `installDir` holds a quote or a control character (the value would start another program).
bool ComposeRetryText(const std::string& installDir, const std::string& retryCommandLine,
                      char* buffer, size_t size);

// As ComposeRetryText, with the log switch /LOG="logPath" after the retry command line, so that
// the retry run appends to the same log. Without a log path, or when the path holds a quote or
// a control character, or when the text with the switch would not fit the value's bytes, the
// text is exactly ComposeRetryText's: the retry is never lost to the switch. *withLog tells
// which text was composed.
bool ComposeRetryTextWithLog(const std::string& installDir, const std::string& retryCommandLine,
                             const std::string& logPath, char* buffer, size_t size, bool* withLog);

// What a restart must delete in place of the batch, in this order: the executable, the batch,
// then the install directory (`installDir` without its trailing backslash) once both are gone.
// Empty paths are left out, and so is a directory that is a drive or share root.
std::vector<std::string> RestartDeletions(const std::string& exePath, const std::string& batchPath,
                                          const std::string& installDir);

// WININIT.INI's text with a line "NUL=<path>" for each of `shortPaths`, in their order, added at
// the end of its first [rename] section (the header compared without regard to case or to blanks
// around it), or in a [rename] section appended when the text has none. A [rename] section may
// hold several NUL lines, which a profile write could not make. The rest of the text stays as it
// is, except that a last line without a line end gets CR LF. False, with *result untouched, when
// there is no path, or a path is empty or holds a control character.
bool AddWininitDeletions(const std::string& text, const std::vector<std::string>& shortPaths,
                         std::string* result);

// WININIT.INI deletes files only, not directories: the RunOnce command that removes the install
// directory, once empty, at the next start on Windows 95/98: the command interpreter (quoted when
// its path holds a blank), "/c rd " and the directory's short path. Empty when either path is
// empty or holds a quote or a control character, or the short path a blank.
std::string RemoveDirectoryCommand(const std::string& commandInterpreter, const std::string& shortDir);

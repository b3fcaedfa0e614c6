// Removal of the lines that carry a marker from a batch file, in place.
#pragma once

// Removes from the text file every line whose upper-cased form contains `marker` (given in
// upper case) and rewrites the file with CR LF line ends, cut to its new length. A missing,
// empty, read-only or locked file is left alone; no file is ever created.
void RemoveBatchLines(const char* path, const char* marker);

// The same for the lines that name a directory: `marker` (its upper-cased path) counts only as
// a whole path name (MarkerMatch::kWholeName), so that C:\AV takes no line of C:\AVTOOLS. The
// directory is the install directory: the door writes only where it is a private place.
void RemoveBatchLinesNaming(const char* path, const char* marker);

// The result log: "\My Documents\Dravik.txt", a small 8-bit text file with
// a time stamp, the title, a header and one line per test (PASS, FAIL or
// "?"), every line ending in CR LF.  An earlier log is replaced.
#pragma once

#include "platform/win32.h"

// Writes the log from the ResultTable.  When the file cannot be created
// the user is told "File is not created" (caption "Error", no owner) and
// nothing is written; when a write or the close fails, every line is still
// tried and the same box follows once the file is closed.
void WriteResultLog();

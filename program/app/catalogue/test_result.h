// What a test leaves behind, and how that reads on the panel and in the log.
#pragma once

#include "platform/win32.h"

enum TestResult {
    ResultNotRun = 0,
    ResultFail = 1,
    ResultPass = 2
};

// The verdict of a test that asks the person (OK or Cancel): OK passes,
// Cancel fails, and any other answer (0 when the question could not be
// shown) leaves the test not run.
TestResult ResultOfAnswer(int answer);

// "PASS", "FAIL", or "?" padded with blanks that wipe a longer word drawn
// earlier in the same Status cell.
LPCWSTR StatusColumnText(TestResult result);

// "PASS", "FAIL", or a bare "?".
LPCWSTR ResultLogText(TestResult result);

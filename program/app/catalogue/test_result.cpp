#include "app/catalogue/test_result.h"

#include "app/catalogue/string_table.h"

// "?" and 22 blanks: as wide as the cell, so it covers "PASS" or "FAIL".
static const WCHAR kNotRunCell[] = TEXT("?                      ");
static const WCHAR kNotRunWord[] = TEXT("?");

TestResult ResultOfAnswer(int answer) {
    if (answer == IDOK) return ResultPass;
    if (answer == IDCANCEL) return ResultFail;
    return ResultNotRun;
}

// A result's word: the string table's PASS or FAIL, else `notRun`.
static LPCWSTR ResultText(TestResult result, LPCWSTR notRun) {
    switch (result) {
    case ResultPass:
        return g_szPass;
    case ResultFail:
        return g_szFail;
    default:
        return notRun;
    }
}

LPCWSTR StatusColumnText(TestResult result) { return ResultText(result, kNotRunCell); }

LPCWSTR ResultLogText(TestResult result) { return ResultText(result, kNotRunWord); }

#include "app/result_log.h"

#include "app/catalogue/run_state.h"
#include "app/catalogue/string_table.h"
#include "app/device_path.h"

static const WCHAR kLogFileName[] = TEXT("Dravik.txt");

// Both working buffers hold 260 bytes, the terminating zero included.
static const int kBufferSize = 260;

static char g_text[kBufferSize];  // one converted string
static char g_line[kBufferSize];  // the line (or lines) written next

static void ClearBuffers() {
    for (int i = 0; i < kBufferSize; ++i) {
        g_text[i] = 0;
        g_line[i] = 0;
    }
}

static int ByteLength(const char* bytes) {
    int length = 0;
    while (bytes[length] != 0) ++length;
    return length;
}

// Appends as much of `bytes` as fits, keeping the terminating zero.
static void AppendBytes(const char* bytes) {
    int length = ByteLength(g_line);
    for (int i = 0; bytes[i] != 0 && length < kBufferSize - 1; ++i) g_line[length++] = bytes[i];
    g_line[length] = 0;
}

// Appends a number in decimal, without leading zeros (as "%ld" writes it).
static void AppendNumber(long value) {
    char digits[24];
    int count = 0;
    unsigned long magnitude = value < 0 ? 0UL - (unsigned long)value : (unsigned long)value;
    do {
        digits[count++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[count++] = '-';

    char text[sizeof(digits) + 1];
    for (int i = 0; i < count; ++i) text[i] = digits[count - 1 - i];
    text[count] = 0;
    AppendBytes(text);
}

// Converts a string with the system's ANSI code page into the text buffer,
// one byte per character, and appends it to the line.
static void AppendConverted(LPCWSTR text) {
    int length = lstrlenW(text);
    if (length > kBufferSize - 1) length = kBufferSize - 1;
    WideCharToMultiByte(CP_ACP, 0, text, length, g_text, length, NULL, NULL);
    g_text[length] = 0;
    AppendBytes(g_text);
}

// Writes the line buffer up to its terminating zero; false when the write
// fails.
static BOOL WriteLine(HANDLE file) {
    DWORD written;
    return WriteFile(file, g_line, (DWORD)ByteLength(g_line), &written, NULL);
}

// The one box for a log that is missing or not whole: no owner, caption
// "Error", the exclamation icon and an OK button.
static void ReportLogNotMade() {
    MessageBoxW(NULL, TEXT("File is not created"), TEXT("Error"), MB_OK | MB_ICONEXCLAMATION);
}

// Line 1, "%ld/%ld/%ld %ld:%ld:%ld \r\n": month/day/year hour:minute:second
// and a trailing blank.
static void AppendTimeStamp(const SYSTEMTIME& now) {
    AppendNumber(now.wMonth);
    AppendBytes("/");
    AppendNumber(now.wDay);
    AppendBytes("/");
    AppendNumber(now.wYear);
    AppendBytes(" ");
    AppendNumber(now.wHour);
    AppendBytes(":");
    AppendNumber(now.wMinute);
    AppendBytes(":");
    AppendNumber(now.wSecond);
    AppendBytes(" \r\n");
}

void WriteResultLog() {
    WCHAR path[MAX_PATH];
    BuildDevicePath(path, g_szMyDocuments, kLogFileName);

    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        ReportLogNotMade();
        return;
    }

    // Every line is tried even after a failed write, so that as much of the
    // log as the store takes is kept; a log that is not whole is reported
    // once, after the file is closed.
    BOOL whole = TRUE;

    SYSTEMTIME now;
    GetLocalTime(&now);

    // Lines 1 to 3: the time stamp, the title and an empty line.
    ClearBuffers();
    AppendTimeStamp(now);
    AppendConverted(g_szTitle);
    AppendBytes("\r\n\r\n");
    if (!WriteLine(file)) whole = FALSE;

    // Lines 4 and 5: the header and its rule.
    ClearBuffers();
    AppendConverted(g_szSelectTest);
    AppendBytes("\t");
    AppendConverted(g_szStatus);
    AppendBytes("\r\n========================\r\n");
    if (!WriteLine(file)) whole = FALSE;

    // One line per test, in catalogue order.
    for (int i = 0; i < TestCount; ++i) {
        ClearBuffers();
        AppendConverted(StringTableText(TestCatalogue[i].nameId));
        AppendBytes("\t\t");
        AppendConverted(ResultLogText(ResultTable[i]));
        AppendBytes("\r\n");
        if (!WriteLine(file)) whole = FALSE;
    }

    if (!CloseHandle(file)) whole = FALSE;
    if (!whole) ReportLogNotMade();
}

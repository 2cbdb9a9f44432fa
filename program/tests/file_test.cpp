#include "tests/file_test.h"

#include "app/catalogue/run_state.h"
#include "app/device_path.h"
#include "tests/test_payload.h"

static const WCHAR ScratchFileName[] = TEXT("DravikFile.txt");

// Every failure the test reports: owner the main window, caption "Error",
// the exclamation icon and an OK button.
static void ReportFileError(HWND mainWindow, LPCWSTR text) {
    MessageBoxW(mainWindow, text, TEXT("Error"), MB_OK | MB_ICONEXCLAMATION);
}

// Whether the read gave back the whole payload, character for character.
static BOOL ReadBackMatches(const WCHAR* readBack, DWORD bytesRead, const WCHAR* payload, int length) {
    if (bytesRead != (DWORD)(2 * length)) return FALSE;
    for (int i = 0; i < length; ++i)
        if (readBack[i] != payload[i]) return FALSE;
    return TRUE;
}

static void FailFileTest(HWND mainWindow, LPCWSTR text) {
    ReportFileError(mainWindow, text);
    ResultTable[TestFile] = ResultFail;
}

void FileTest(HWND mainWindow) {
    TestPayloadBuffer payload;
    CopyTestPayload(payload);
    WCHAR path[MAX_PATH];
    BuildDevicePath(path, NULL, ScratchFileName);
    const DWORD payloadBytes = 2 * lstrlenW(payload);

    // Write: an existing file is replaced.
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        FailFileTest(mainWindow, TEXT("File is not created"));
        return;
    }
    DWORD written = 0;
    if (!WriteFile(file, payload, payloadBytes, &written, NULL)) {
        FailFileTest(mainWindow, TEXT("Write is not done"));
        CloseHandle(file);
        return;
    }
    if (!CloseHandle(file)) {
        FailFileTest(mainWindow, TEXT("File is not closed"));
        return;
    }

    // Read back exactly the 48 bytes written; the buffer has no room for a
    // terminator, and bytes the read does not fill count as different.
    file = CreateFileW(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        FailFileTest(mainWindow, TEXT("File is not created"));
        return;
    }
    WCHAR readBack[TEST_PAYLOAD_LENGTH];
    DWORD read = 0;
    if (!ReadFile(file, readBack, payloadBytes, &read, NULL)) {
        FailFileTest(mainWindow, TEXT("Read is not done"));
        CloseHandle(file);
        return;
    }
    if (!ReadBackMatches(readBack, read, payload, TEST_PAYLOAD_LENGTH)) {
        // A mismatch is not reported; the file stays for a look at it.
        ResultTable[TestFile] = ResultFail;
        CloseHandle(file);
        return;
    }

    // The text came back whole: clean up.  A file that cannot be closed or
    // deleted fails the test without a box and stays for the next run to
    // replace.
    if (!CloseHandle(file) || !DeleteFileW(path)) {
        ResultTable[TestFile] = ResultFail;
        return;
    }
    ResultTable[TestFile] = ResultPass;
}

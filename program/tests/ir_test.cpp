#include "tests/ir_test.h"

#include "app/catalogue/run_state.h"
#include "tests/test_payload.h"

void IrPortTest() {
    TestPayloadBuffer payload;
    CopyTestPayload(payload);
    const DWORD payloadBytes = 2 * lstrlenW(payload);

    TestResult result = ResultFail;
    HANDLE port = CreateFileW(TEXT("COM2:"), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    // A port that cannot be opened, whatever the reason (ERROR_DEV_NOT_EXIST
    // included: a port that is not there took no data), is a failure.
    if (port != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        if (WriteFile(port, payload, payloadBytes, &written, NULL) && written == payloadBytes) result = ResultPass;
        CloseHandle(port);
    }
    ResultTable[TestIr] = result;
}

#include "tests/test_payload.h"

static const WCHAR TestPayload[] = TEXT("KVO makes the PDA better");

void CopyTestPayload(TestPayloadBuffer buffer) { lstrcpyW(buffer, TestPayload); }

// The text that the file test writes to its scratch file and the IR test
// sends through the infrared port.
#pragma once

#include "platform/win32.h"

// "KVO makes the PDA better": 24 wide characters; on the wire and on disk
// they go as 48 bytes of UTF-16LE, without terminator or byte-order mark.
#define TEST_PAYLOAD_LENGTH 24

// Room for the text and its terminator.
typedef WCHAR TestPayloadBuffer[TEST_PAYLOAD_LENGTH + 1];

// Copies the text with its terminator into `buffer`.
void CopyTestPayload(TestPayloadBuffer buffer);

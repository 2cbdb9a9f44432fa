// What a person who uses Dravik knows of it: the panel's check boxes in the
// order of the Status column, the names the panel and the log give the
// tests, and where the result log is written.
#pragma once

#include <string>

#include "resource.h"

namespace sim {

// The panel's check boxes, in the order of the Status column and the log.
inline constexpr int kTestBoxes[] = {IDC_SOUND_BOX, IDC_CALIBRATION_BOX, IDC_PATTERN_BOX, IDC_FILE_BOX,
                                     IDC_IR_BOX,    IDC_LED_BOX,         IDC_KEY_BOX};
// The tests' names as the log writes them, in the same order.
inline constexpr const char* kTestNames[] = {"Sound",       "Screen Calibration", "Screen Patterns",
                                             "Read/Write files", "IR Transfer",  "LED Notification",
                                             "Key Test"};
inline constexpr char16_t kResultLog[] = u"\\My Documents\\Dravik.txt";

// A cell's or a line's text without the blanks and TABs around it.
inline std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

}  // namespace sim

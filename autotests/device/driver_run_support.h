// What the runs of the Sound, Read/Write files and IR Transfer tests share:
// a run of chosen tests without the reset, the texts the tests show, the
// payload they write, the Status column and the result log.
#pragma once

#include <string>
#include <vector>

#include "device/run_path_support.h"
#include "device/screen_tests_support.h"

namespace drivertest {

using devtest::click;
using devtest::EventPattern;
using devtest::json;
using devtest::JournalLog;
using screentest::lines_of;
using screentest::run_only;
using screentest::status_cells;


// Rows of the Status column (catalogue order).
inline const int kSoundRow = 0;
inline const int kFileRow = 3;
inline const int kIrRow = 4;

inline const char* const kScratchFile = "\\DravikFile.txt";
inline const char* const kAlarmFile = "\\Windows\\Alarm3.WAV";
inline const char* const kAudioKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\AdvancedCPL";

// The text the file test writes and the IR test sends, as the bytes that
// reach the file or the port: UTF-16LE without terminator or byte-order mark.
inline std::string payload_bytes() {
    std::string out;
    for (char c : std::string("KVO makes the PDA better")) {
        out += c;
        out += '\0';
    }
    return out;
}

inline std::string hex_of(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// A box of the file test: owner the main window, caption "Error", MB_OK |
// MB_ICONEXCLAMATION.
inline json file_error_box(const std::string& text) {
    return {{"owner", "Dravik"}, {"text", text}, {"caption", "Error"}, {"style", 0x30}};
}

// The texts of every message box in `log`, in order.
inline std::vector<std::string> box_texts(const JournalLog& log) {
    std::vector<std::string> out;
    for (auto& e : log.filter("msgbox")) out.push_back(e["text"]);
    return out;
}

// The word a Status row shows after the run ("?" for a cell that shows "?"
// and its blanks).
inline std::string status_word(const JournalLog& log, int row) {
    std::string cell = status_cells(log)[size_t(row)];
    return cell.rfind("?", 0) == 0 ? "?" : cell;
}

// Script lines that end a run: Finish, Yes to the log question, and time
// for the file to be written.
inline const std::string kFinishWithLog = click(IDC_NEXT_FINISH) + "answer yes\nwait 100\n";

// The line a test leaves in the result log: "Sound\t\tPASS\r\n".
inline std::string log_line(const std::string& test, const std::string& word) {
    return test + "\t\t" + word + "\r\n";
}

}  // namespace drivertest

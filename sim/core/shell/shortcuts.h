// After a reset the shell starts the programs named by the shortcuts in
// the Startup folder ("\Windows\StartUp").
#pragma once

#include <string>

namespace sim {

void run_startup_folder();

// Reads a shortcut file's bytes, such as 21#"\Windows\Dravik.exe": its
// target text, or false when the shortcut is unreadable.
bool parse_shortcut(const std::string& bytes, std::u16string* target);
// The program a shortcut's target text starts: the quoted or first word.
std::u16string target_program(const std::u16string& target);

// For fuzzing: "" when the bytes are a readable shortcut, else the one-line
// reason.
std::string check_shortcut_text(const std::string& bytes);

}  // namespace sim

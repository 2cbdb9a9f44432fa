// After a reset the shell starts the programs named by the shortcuts in
// the Startup folder ("\Windows\StartUp").
#pragma once

#include <string>

namespace sim {

void run_startup_folder();

// A shortcut file's bytes: the length of the target text, '#', the target.
// False when the bytes are not that (the shell skips such a shortcut).
bool parse_shortcut(const std::string& bytes, std::u16string* target);
// The program a shortcut's target text starts: the quoted or first word.
std::u16string target_program(const std::u16string& target);

}  // namespace sim

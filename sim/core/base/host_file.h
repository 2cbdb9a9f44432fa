// Reading the host files the simulator is given (profile, script, the
// registry file, the file store's files): only regular files of a sane
// size, without ever blocking on a FIFO or a device.
#pragma once

#include <cstddef>
#include <string>

namespace sim {

// The largest file each reader takes in; anything bigger is refused.
constexpr size_t kMaxProfileBytes = size_t(1) << 20;    // 1 MiB
constexpr size_t kMaxScriptBytes = size_t(16) << 20;    // 16 MiB
constexpr size_t kMaxRegistryBytes = size_t(16) << 20;  // 16 MiB
constexpr size_t kMaxStoreReadBytes = size_t(64) << 20; // a whole-file read of the file store

enum class Links { Follow, Refuse };

// Reads the whole of a regular file of at most max_bytes.  On failure
// *why says what is wrong ("not a regular file", "larger than 1 MiB",
// "No such file or directory") and *bytes is left as it was.  With
// Links::Refuse a symbolic link is refused as well.
bool read_host_file(const std::string& path, size_t max_bytes, Links links, std::string* bytes, std::string* why);

// "1 MiB", "16 MiB", "512 bytes".
std::string size_text(size_t bytes);

// Whether a name holds a NUL or another control character.
bool has_control_character(const std::string& name);

// "<where>: <why>" as one line of a sane length: control characters
// become blanks, and past 300 bytes `why` is cut (at a character's start)
// with "...".  `where` (file and line) is kept whole.
std::string one_line(const std::string& where, std::string why);

}  // namespace sim

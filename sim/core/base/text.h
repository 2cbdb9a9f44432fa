// Conversions between the device's 16-bit text and the host's UTF-8.
#pragma once

#include <string>

namespace sim {

std::string to_utf8(const std::u16string& s);
std::string to_utf8(const char16_t* s);          // null pointer gives ""
std::string to_utf8(const char16_t* s, size_t n);
std::u16string to_u16(const std::string& utf8);
std::u16string lower(std::u16string s);          // ASCII and Latin-1 letters

}  // namespace sim

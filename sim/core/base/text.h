// Conversions between the device's 16-bit text and the host's UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sim {

std::string to_utf8(const std::u16string& s);
std::string to_utf8(const char16_t* s);          // null pointer gives ""
std::string to_utf8(const char16_t* s, size_t n);
std::u16string to_u16(const std::string& utf8);
// The same, added to the end of *out (which keeps its storage).
void append_u16(std::string_view utf8, std::u16string* out);
std::u16string lower(std::u16string s);          // ASCII and Latin-1 letters
// One character as lower() gives it.
inline char16_t lower_char(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? char16_t(c + 32) : c;
}

// Near misses: the word of `known` nearest to `word` when it is near enough
// to be what was meant ("" when none is).  Letters are compared without
// their case; an extra, a missing, a wrong or two swapped characters each
// count one, and a word may be a quarter wrong (at least one character).
// The first of equally near words wins.
std::string nearest_word(const std::string& word, const std::vector<std::string>& known);
// The same as a clause to end a message with, `; did you mean "tap"?`, or
// "" when no word is near.
std::string did_you_mean(const std::string& word, const std::vector<std::string>& known);

}  // namespace sim

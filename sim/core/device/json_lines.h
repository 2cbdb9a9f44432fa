// Where things stand in a JSON text: the line of a byte the parser names,
// and the line on which each key and value of a profile begins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sim {

// The line (from 1) on which the byte at `offset` of `text` stands.
int line_of_offset(const std::string& text, size_t offset);

// The line on which each key and each value of a JSON text begins, by its
// place: "/leds", "/bluetooth/radio", "/begin_draw_fails/2".  Only the
// levels a profile has are recorded; deeper ones are passed over (a value
// that deep is refused by the level above it).  The first key given twice
// in one object is kept as well.
class JsonLines {
public:
    static constexpr size_t kDepth = 3;

    // `text` has already been parsed, so it is known to be valid JSON.
    void scan(const std::string& text);

    int value_line(const std::string& place) const {
        auto it = values_.find(place);
        return it == values_.end() ? 1 : it->second;
    }
    int key_line(const std::string& place) const {
        auto it = keys_.find(place);
        return it == keys_.end() ? value_line(place) : it->second;
    }
    // The first key given twice ("" for none) and the line of its second use.
    const std::string& twice() const { return twice_; }
    int twice_line() const { return twice_line_; }

private:
    struct Frame {
        bool object = false;
        std::string place;
        size_t index = 0;
        std::set<std::string> keys;
    };

    void skip_blanks();

    // A value at `place`; containers deeper than the recorded levels go on
    // deep_ (true for an object), the others on stack_.
    void begin_value(const std::string& place);

    static void append_utf8(std::string* out, uint32_t c);
    uint32_t hex4();

    // A string starting at the quote, decoded as the parser decodes it.
    std::string read_string();

    const std::string* text_ = nullptr;
    size_t pos_ = 0;
    int line_ = 1;
    std::vector<Frame> stack_;
    std::vector<bool> deep_;
    std::map<std::string, int> values_, keys_;
    std::string twice_;
    int twice_line_ = 0;
};

}  // namespace sim

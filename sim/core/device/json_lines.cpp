// The lines of a JSON text, read by a pass of its own over text the parser
// has already taken.
#include "device/json_lines.h"

namespace sim {

int line_of_offset(const std::string& text, size_t offset) {
    int line = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

void JsonLines::scan(const std::string& text) {
    text_ = &text;
    pos_ = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    line_ = 1;
    skip_blanks();
    begin_value("");
    while ((!stack_.empty() || !deep_.empty()) && pos_ < text.size()) {
        skip_blanks();
        if (pos_ >= text.size()) break;
        char c = text[pos_];
        if (c == '}' || c == ']') {
            ++pos_;
            if (!deep_.empty())
                deep_.pop_back();
            else
                stack_.pop_back();
            continue;
        }
        if (c == ',') {
            ++pos_;
            skip_blanks();
        }
        if (!deep_.empty()) {  // below the recorded levels: only passed over
            if (deep_.back()) {
                read_string();
                skip_blanks();
                ++pos_;  // ':'
                skip_blanks();
            }
            begin_value("");
            continue;
        }
        Frame& f = stack_.back();
        std::string place;
        if (f.object) {
            int key_line = line_;
            std::string key = read_string();
            place = f.place + "/" + key;
            keys_[place] = key_line;
            if (!f.keys.insert(key).second && twice_.empty()) {
                twice_ = place;
                twice_line_ = key_line;
            }
            skip_blanks();
            ++pos_;  // ':'
            skip_blanks();
        } else {
            place = f.place + "/" + std::to_string(f.index++);
        }
        begin_value(place);
    }
}

void JsonLines::skip_blanks() {
    const std::string& t = *text_;
    while (pos_ < t.size() && (t[pos_] == ' ' || t[pos_] == '\t' || t[pos_] == '\r' || t[pos_] == '\n')) {
        if (t[pos_] == '\n') ++line_;
        ++pos_;
    }
}

void JsonLines::begin_value(const std::string& place) {
    const std::string& t = *text_;
    if (pos_ >= t.size()) return;
    bool recorded = deep_.empty();
    if (recorded) values_[place] = line_;
    char c = t[pos_];
    if (c == '{' || c == '[') {
        ++pos_;
        if (recorded && stack_.size() + 1 < kDepth) {
            Frame f;
            f.object = c == '{';
            f.place = place;
            stack_.push_back(std::move(f));
        } else {
            deep_.push_back(c == '{');
        }
    } else if (c == '"') {
        read_string();
    } else {
        while (pos_ < t.size() && t[pos_] != ',' && t[pos_] != ']' && t[pos_] != '}' && t[pos_] != ' ' &&
               t[pos_] != '\t' && t[pos_] != '\r' && t[pos_] != '\n')
            ++pos_;
    }
}

void JsonLines::append_utf8(std::string* out, uint32_t c) {
    if (c < 0x80) {
        *out += char(c);
    } else if (c < 0x800) {
        *out += char(0xC0 | (c >> 6));
        *out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += char(0xE0 | (c >> 12));
        *out += char(0x80 | ((c >> 6) & 0x3F));
        *out += char(0x80 | (c & 0x3F));
    } else {
        *out += char(0xF0 | (c >> 18));
        *out += char(0x80 | ((c >> 12) & 0x3F));
        *out += char(0x80 | ((c >> 6) & 0x3F));
        *out += char(0x80 | (c & 0x3F));
    }
}

uint32_t JsonLines::hex4() {
    const std::string& t = *text_;
    uint32_t v = 0;
    for (int k = 0; k < 4 && pos_ < t.size(); ++k, ++pos_) {
        char c = t[pos_];
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
        v = v << 4 | uint32_t(d);
    }
    return v;
}

std::string JsonLines::read_string() {
    const std::string& t = *text_;
    std::string out;
    ++pos_;  // the opening quote
    while (pos_ < t.size() && t[pos_] != '"') {
        char c = t[pos_++];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos_ >= t.size()) break;
        char e = t[pos_++];
        switch (e) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t u = hex4();
                if (u >= 0xD800 && u <= 0xDBFF && pos_ + 1 < t.size() && t[pos_] == '\\' && t[pos_ + 1] == 'u') {
                    pos_ += 2;
                    uint32_t low = hex4();
                    u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                }
                append_utf8(&out, u);
                break;
            }
            default: out += e; break;  // \" \\ \/
        }
    }
    ++pos_;  // the closing quote
    return out;
}

}  // namespace sim

// The journal read back line by line: each line must be a JSON object with
// a whole-number "t" that never goes down and a non-empty "ev".
//
// Lines of the kind the journal writes (objects, arrays, whole numbers,
// literals and text of printable ASCII without escapes) are read by a small
// reader of that subset; any other line, valid or not, is left to the JSON
// library, so a line is judged the same either way.
#include "people/invariants.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace sim {

namespace {

// What a line says of "t" and "ev": the last of each at the top level, as a
// parse into a value would keep it.
struct TopFields {
    bool object = false;  // the line is an object
    bool has_t = false;   // "t" is a whole number, not below 0
    uint64_t t = 0;
    bool has_ev = false;  // "ev" is a string that is not empty
};

class PlainLine {
public:
    explicit PlainLine(const std::string& line) : p_(line.data()), end_(line.data() + line.size()) {}

    // False when the line is not of the plain kind (or not JSON at all).
    bool read(TopFields* out) {
        space();
        if (p_ == end_ || *p_ != '{') return false;
        out->object = true;
        if (!object(1, out)) return false;
        space();
        return p_ == end_;
    }

private:
    enum class Kind { Other, Whole, Text, EmptyText };
    static constexpr int kDeepest = 256;

    void space() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r')) ++p_;
    }
    bool take(char c) {
        space();
        if (p_ == end_ || *p_ != c) return false;
        ++p_;
        return true;
    }

    // An object; at depth 1 (the line itself) its "t" and "ev" go to *top.
    bool object(int depth, TopFields* top) {
        ++p_;  // '{'
        space();
        if (p_ != end_ && *p_ == '}') {
            ++p_;
            return true;
        }
        for (;;) {
            space();
            const char* key = nullptr;
            size_t key_size = 0;
            if (!text(&key, &key_size) || !take(':')) return false;
            Kind kind;
            uint64_t number = 0;
            if (!value(depth + 1, &kind, &number)) return false;
            if (top) {
                std::string_view k(key, key_size);
                if (k == "t") {
                    top->has_t = kind == Kind::Whole;
                    top->t = number;
                } else if (k == "ev") {
                    top->has_ev = kind == Kind::Text;
                }
            }
            space();
            if (p_ == end_) return false;
            if (*p_ == '}') {
                ++p_;
                return true;
            }
            if (*p_++ != ',') return false;
        }
    }

    bool array(int depth) {
        ++p_;  // '['
        space();
        if (p_ != end_ && *p_ == ']') {
            ++p_;
            return true;
        }
        for (;;) {
            Kind kind;
            uint64_t number;
            if (!value(depth + 1, &kind, &number)) return false;
            space();
            if (p_ == end_) return false;
            if (*p_ == ']') {
                ++p_;
                return true;
            }
            if (*p_++ != ',') return false;
        }
    }

    bool value(int depth, Kind* kind, uint64_t* number) {
        *kind = Kind::Other;
        if (depth > kDeepest) return false;
        space();
        if (p_ == end_) return false;
        switch (*p_) {
            case '{': return object(depth, nullptr);
            case '[': return array(depth);
            case '"': {
                const char* s;
                size_t n;
                if (!text(&s, &n)) return false;
                *kind = n ? Kind::Text : Kind::EmptyText;
                return true;
            }
            case 't': return word("true");
            case 'f': return word("false");
            case 'n': return word("null");
            default: return whole(kind, number);
        }
    }

    bool word(std::string_view w) {
        if (size_t(end_ - p_) < w.size() || std::string_view(p_, w.size()) != w) return false;
        p_ += w.size();
        return true;
    }

    // Printable ASCII between quotes, no escapes.
    bool text(const char** s, size_t* n) {
        if (p_ == end_ || *p_ != '"') return false;
        const char* start = ++p_;
        while (p_ != end_ && *p_ != '"') {
            unsigned char c = static_cast<unsigned char>(*p_);
            if (c < 0x20 || c > 0x7E || c == '\\') return false;
            ++p_;
        }
        if (p_ == end_) return false;
        *s = start;
        *n = size_t(p_ - start);
        ++p_;
        return true;
    }

    // A whole number without fraction or exponent, within 64 bits.
    bool whole(Kind* kind, uint64_t* number) {
        bool negative = *p_ == '-';
        if (negative) ++p_;
        if (p_ == end_ || *p_ < '0' || *p_ > '9') return false;
        if (*p_ == '0' && p_ + 1 != end_ && p_[1] >= '0' && p_[1] <= '9') return false;
        uint64_t v = 0;
        while (p_ != end_ && *p_ >= '0' && *p_ <= '9') {
            uint64_t digit = uint64_t(*p_ - '0');
            if (v > (UINT64_MAX - digit) / 10) return false;
            v = v * 10 + digit;
            ++p_;
        }
        if (p_ != end_ && (*p_ == '.' || *p_ == 'e' || *p_ == 'E')) return false;
        if (negative && v > uint64_t(INT64_MAX) + 1) return false;
        *kind = negative ? Kind::Other : Kind::Whole;
        *number = v;
        return true;
    }

    const char* p_;
    const char* end_;
};

// Any line, read by the JSON library without building it.
class LineFields : public nlohmann::json_sax<json>, public TopFields {
public:
    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t v) override {
        if (depth_ == 1 && key_ == Key::T) {
            t_value_ = true;
            t = v;
        }
        return value();
    }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t& v) override {
        if (depth_ == 1 && key_ == Key::Ev) ev_value_ = !v.empty();
        return value();
    }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override {
        if (depth_ == 0) object = true;
        return open();
    }
    bool key(string_t& k) override {
        if (depth_ == 1) key_ = k == "t" ? Key::T : k == "ev" ? Key::Ev : Key::Other;
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    enum class Key { Other, T, Ev };
    bool open() {
        value();
        ++depth_;
        return true;
    }
    bool close() {
        --depth_;
        return true;
    }
    // A member's value at the top level is done: it decides for its key.
    bool value() {
        if (depth_ == 1) {
            if (key_ == Key::T) has_t = std::exchange(t_value_, false);
            if (key_ == Key::Ev) has_ev = std::exchange(ev_value_, false);
            key_ = Key::Other;
        }
        return true;
    }

    int depth_ = 0;
    Key key_ = Key::Other;
    bool t_value_ = false, ev_value_ = false;
};

}  // namespace

std::string journal_line_problem(const std::string& line, uint64_t* last_t) {
    TopFields fields;
    if (!PlainLine(line).read(&fields)) {
        LineFields read;
        if (!json::sax_parse(line, &read)) return "is not valid JSON";
        fields = read;
    }
    if (!fields.object) return "is not a JSON object";
    if (!fields.has_t) return "has no whole-number \"t\"";
    if (!fields.has_ev) return "has no \"ev\"";
    uint64_t now = fields.t;
    if (now < *last_t)
        return "goes back in time: \"t\" " + std::to_string(now) + " after " + std::to_string(*last_t);
    *last_t = now;
    return "";
}

}  // namespace sim

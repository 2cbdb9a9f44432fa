#include "base/json_text.h"

#include <charconv>

namespace sim {

namespace {

void append_dumped(std::string* out, const json& value) {
    *out += value.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool plain_text(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
    return true;
}

void append_text(std::string* out, const std::string& s) {
    if (!plain_text(s)) {
        append_dumped(out, json(s));
        return;
    }
    *out += '"';
    *out += s;
    *out += '"';
}

template <typename Number>
void append_number(std::string* out, Number n) {
    char buf[24];
    auto end = std::to_chars(buf, buf + sizeof buf, n).ptr;
    out->append(buf, end);
}

}  // namespace

void append_json(std::string* out, const json& value) {
    switch (value.type()) {
        case json::value_t::object: {
            *out += '{';
            bool first = true;
            for (const auto& [key, member] : value.get_ref<const json::object_t&>()) {
                if (!first) *out += ',';
                first = false;
                append_text(out, key);
                *out += ':';
                append_json(out, member);
            }
            *out += '}';
            return;
        }
        case json::value_t::array: {
            *out += '[';
            bool first = true;
            for (const json& item : value.get_ref<const json::array_t&>()) {
                if (!first) *out += ',';
                first = false;
                append_json(out, item);
            }
            *out += ']';
            return;
        }
        case json::value_t::string: append_text(out, value.get_ref<const std::string&>()); return;
        case json::value_t::number_integer: append_number(out, *value.get_ptr<const json::number_integer_t*>()); return;
        case json::value_t::number_unsigned: append_number(out, *value.get_ptr<const json::number_unsigned_t*>()); return;
        case json::value_t::boolean: *out += *value.get_ptr<const json::boolean_t*>() ? "true" : "false"; return;
        case json::value_t::null: *out += "null"; return;
        default: append_dumped(out, value); return;
    }
}

}  // namespace sim

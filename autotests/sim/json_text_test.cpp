// The journal's lines are made without the JSON library's serializer for
// the plain values they mostly hold; the text must be what the library's
// dump() writes, for those values and for every other.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "base/json_text.h"

namespace {



TEST(JsonText, IsWhatDumpWrites) {
    const sim::json cases[] = {
        sim::json::object(),
        sim::json::array(),
        nullptr,
        true,
        false,
        0,
        -1,
        std::numeric_limits<int64_t>::min(),
        std::numeric_limits<uint64_t>::max(),
        1.5,
        -0.0,
        1e300,
        "",
        "plain text 123 ~!",
        "quote \" and backslash \\",
        "tab\tline\nreturn\rbell\x07 nul-free \x1f",
        "caf\xc3\xa9 \xe2\x82\xac",
        "bad utf-8 \xff\xfe end",
        "\x7f",
        {{"t", 12}, {"ev", "input"}, {"rect", {1, -2, 3, 4}}, {"nested", {{"a", nullptr}, {"b", {1.25, "x"}}}}},
        {{"key \"quoted\"", "v"}, {"caf\xc3\xa9", 1}, {"", sim::json::array()}},
        sim::json::array({sim::json::object(), sim::json::array({sim::json::array()}), "s", 7u}),
    };
    for (const sim::json& value : cases) {
        std::string text;
        sim::append_json(&text, value);
        EXPECT_EQ(text, value.dump(-1, ' ', false, sim::json::error_handler_t::replace));
    }
}

}  // namespace

#include <gtest/gtest.h>

#include "base/text.h"

TEST(Text, RoundTripsBetweenUtf16AndUtf8) {
    const struct {
        std::u16string wide;
        std::string narrow;
    } cases[] = {
        {u"Dravik", "Dravik"},
        {u"", ""},
        {u"caf\u00e9", "caf\xc3\xa9"},
        {u"\u20ac", "\xe2\x82\xac"},
        {u"\U0001F600", "\xf0\x9f\x98\x80"},
    };
    for (auto& c : cases) {
        EXPECT_EQ(sim::to_utf8(c.wide), c.narrow);
        EXPECT_EQ(sim::to_u16(c.narrow), c.wide);
    }
}

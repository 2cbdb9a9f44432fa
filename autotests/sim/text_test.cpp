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

// A near miss is answered with the word that was meant; a word far from
// every known one is answered with none.
TEST(Text, NearestWordIsTheOneMeant) {
    const std::vector<std::string> actions = {"tap", "drag", "press", "answer", "click", "click-through", "wait",
                                              "screenshot", "screenshot-frame", "caption-ok"};
    const std::vector<std::string> controls = {"Sound", "Screen Calibration", "Screen Patterns", "Next", "Finish"};
    const struct {
        const char* word;
        const std::vector<std::string>* known;
        const char* nearest;
    } cases[] = {
        {"tpa", &actions, "tap"},  // two characters swapped
        {"wiat", &actions, "wait"},
        {"clik", &actions, "click"},    // one missing
        {"pressx", &actions, "press"},  // one extra
        {"TAP", &actions, "tap"},       // case alone
        {"screenshot-fram", &actions, "screenshot-frame"},  // the nearer of two
        {"captoin-ok", &actions, "caption-ok"},
        {"jump", &actions, ""},  // near nothing
        {"t", &actions, ""},
        {"", &actions, ""},
        {"screenshots-frames-all", &actions, ""},  // too many edits for its length
        {"Screen Calibraton", &controls, "Screen Calibration"},
        {"screen patterns", &controls, "Screen Patterns"},
        {"Finsh", &controls, "Finish"},
        {"Nxet", &controls, "Next"},
        {"Start", &controls, ""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(sim::nearest_word(c.word, *c.known), c.nearest);
        std::string clause = sim::did_you_mean(c.word, *c.known);
        EXPECT_EQ(clause, *c.nearest ? std::string("; did you mean \"") + c.nearest + "\"?" : std::string());
    }
    // A word of any length is answered at once.
    EXPECT_EQ(sim::nearest_word(std::string(100000, 'k'), actions), "");
}

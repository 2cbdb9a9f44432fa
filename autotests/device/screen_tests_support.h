// What the Screen Calibration and Screen Patterns runs share: a run of
// chosen tests without the reset, and the screen's colours as screenshots
// show them.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "device/run_path_support.h"

namespace screentest {

using devtest::click;
using devtest::Rgb;

// Script lines that leave exactly `boxes` ticked, then start a run without
// the reset: Next, clear the reset box, Start.  The run's first action
// follows.
inline std::string run_only(std::initializer_list<int> boxes) {
    std::vector<int> selected(7, 0);
    for (int b : boxes)
        for (size_t i = 0; i < 7; ++i)
            if (runpath::kBoxIds[i] == b) selected[i] = 1;
    return runpath::select_tests(selected) + click(IDC_NEXT_FINISH) + click(IDC_RESET_BOX) + click(IDC_START);
}

inline int lines_of(const std::string& script) {
    int n = 0;
    for (char c : script) n += c == '\n';
    return n;
}

// A 5-6-5 value as the screenshot shows it.
inline Rgb rgb_of_565(uint16_t v) {
    return Rgb{uint8_t(((v >> 11) & 31) * 255 / 31), uint8_t(((v >> 5) & 63) * 255 / 63), uint8_t((v & 31) * 255 / 31)};
}

// An 8-bit value through the panel's 3-3-2 palette, as the screenshot shows
// it.
inline Rgb rgb_of_332(uint8_t v) {
    auto to565 = [](int r, int g, int b) { return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)); };
    return rgb_of_565(to565(((v >> 5) & 7) * 255 / 7, ((v >> 2) & 7) * 255 / 7, (v & 3) * 255 / 3));
}

// The seven Status cells ("PASS", "FAIL" or "?" with its blanks) as the
// repaint after the last screen restore in `log` draws them; "(none)" for
// cells not drawn.
inline std::vector<std::string> status_cells(const devtest::JournalLog& log) {
    size_t from = log.size();
    for (size_t i = 0; i < log.size(); ++i)
        if (devtest::JournalLog::matches(log[i], "dialog", {{"op", "end"}, {"template", IDD_SCREEN_RESTORE}}))
            from = i;
    std::vector<std::string> cells;
    for (size_t i = from; i < log.size() && cells.size() < 7; ++i) {
        const devtest::json& e = log[i];
        if (e["ev"] != "text" || e["window"] != "Dravik") continue;
        std::string t = e["text"];
        if (t == "PASS" || t == "FAIL" || t.rfind("?", 0) == 0) cells.push_back(t);
    }
    cells.resize(7, "(none)");
    return cells;
}

inline const Rgb kBlack{0, 0, 0};
inline const Rgb kWhite{255, 255, 255};

}  // namespace screentest

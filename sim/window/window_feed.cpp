#include "window_feed.h"

#include <SDL.h>

#include <sstream>

#include "base/host_file.h"

namespace sim {

bool WindowFeed::load(const std::string& path, std::string* error) {
    std::string text, why;
    if (!read_host_file(path, kMaxScriptBytes, Links::Follow, &text, &why)) {
        *error = path + ":1: cannot read the window feed: " + why;
        return false;
    }
    std::istringstream in(text);
    std::vector<FeedStep> steps;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
        std::istringstream words(line);
        std::string verb;
        if (!(words >> verb)) continue;
        FeedStep s;
        s.line = number;
        auto bad = [&](const std::string& what) {
            *error = path + ":" + std::to_string(number) + ": " + what;
            return false;
        };
        if (verb == "down" || verb == "move" || verb == "up") {
            s.kind = verb == "down" ? FeedStep::Down : verb == "move" ? FeedStep::Move : FeedStep::Up;
            if (!(words >> s.x >> s.y) || s.x < 0 || s.y < 0) return bad(verb + " needs X Y, window pixels");
        } else if (verb == "key" || verb == "keydown" || verb == "keyup") {
            s.kind = verb == "key" ? FeedStep::Key : verb == "keydown" ? FeedStep::KeyDown : FeedStep::KeyUp;
            std::string name;
            if (!(words >> name)) return bad(verb + " needs a key name");
            s.key = SDL_GetKeyFromName(name.c_str());
            if (s.key == SDLK_UNKNOWN) return bad("unknown key \"" + name + "\"");
        } else if (verb == "wait") {
            s.kind = FeedStep::Wait;
            if (!(words >> s.ms) || s.ms < 0) return bad("wait needs milliseconds");
        } else if (verb == "close") {
            s.kind = FeedStep::Close;
        } else {
            return bad("unknown step \"" + verb + "\"");
        }
        std::string extra;
        if (words >> extra) return bad("unexpected \"" + extra + "\"");
        steps.push_back(s);
    }
    steps_ = std::move(steps);
    return true;
}

const FeedStep* WindowFeed::next(uint64_t now_ms, bool idle, std::optional<uint64_t>* wake) {
    while (next_ < steps_.size()) {
        const FeedStep& s = steps_[next_];
        if (s.kind == FeedStep::Wait) {
            if (!wait_until_) wait_until_ = now_ms + uint64_t(s.ms);
            if (now_ms < *wait_until_) {
                *wake = wait_until_;
                return nullptr;
            }
            wait_until_.reset();
            after_wait_ = true;
            ++next_;
            continue;
        }
        if (!idle && !after_wait_) return nullptr;
        after_wait_ = false;
        ++next_;
        return &s;
    }
    return nullptr;
}

}  // namespace sim

// The handheld on the desk: an SDL window that shows the device's screen
// inside a drawn case with its buttons and LEDs, turns the mouse into the
// stylus and the keyboard and the drawn buttons into the hardware buttons,
// and plays the device's sounds through the sound card.
//
// The device runs on real time while the window is open: the window
// installs a real clock whose waits (Sleep, a sound, an idle program) are
// spent in the window's event loop, so the window keeps drawing and input
// waits in the device's queue until the program takes it.  An idle program
// costs nothing: the loop sleeps in the window system until an event comes,
// a timer falls due or a blinking LED turns.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device_frame.h"
#include "drivers/sound.h"
#include "real_clock.h"
#include "recorder.h"
#include "window_feed.h"

struct SDL_Window;
union SDL_Event;

namespace sim {

class DeviceWindow {
public:
    struct Settings {
        int scale = 0;  // 0: the largest whose window fits the display's usable area
        std::string screenshots_dir;  // where F12 puts its pictures
        WindowFeed feed;              // events for tests; empty for none
        Recorder* recorder = nullptr;  // writes what the person does as a script; null for none
        // Watching a script (--watch): the script holds the device on its
        // own virtual clock, as headless, and the window shows each action
        // and each frame of the screen for a while of real time.
        bool watch = false;
        int watch_pace_ms = 600;   // real time each action is shown before it is done
        std::string watched_name;  // the script, for the title
    };

    // Opens the window, installs the real clock and the sound output.  Null
    // (with *error) when there is no window system to open it on.
    static std::unique_ptr<DeviceWindow> open(Settings settings, std::string* error);
    ~DeviceWindow();
    DeviceWindow(const DeviceWindow&) = delete;
    DeviceWindow& operator=(const DeviceWindow&) = delete;

    // Lets real time pass until `until` (device clock; none: until
    // something happens), drawing and taking input.  With `stop_on_input`
    // returns as soon as input waits for the program.  Throws PowerOff when
    // the window is closed.
    void wait(std::optional<uint64_t> until, bool stop_on_input);
    // Plays a sound to its end (synchronous), the window living on meanwhile.
    void play(const Pcm& pcm);
    // The person's turn (the program waits for input): does what was asked
    // for meanwhile that waits for such a turn (starting Dravik with L);
    // returns whether anything was done.
    bool act_on_requests();
    // Watching: shows the screen before the script's action on `line` (0:
    // the end of the script) for the pace's real time, or until the person
    // steps on while paused.
    void watch_action(int line);
    // Watching: shows a frame the program put on the panel for a sixth of
    // the pace.
    void watch_frame();
    // Draws the window now if anything on it changed.
    void present(bool force = false);
    // Writes what the window shows as a PNG.
    bool save_picture(const std::string& path, std::string* error);

    const DeviceFrame& frame() const { return frame_; }

private:
    explicit DeviceWindow(Settings settings);
    void handle(const SDL_Event& e);
    void give_feed_step(const FeedStep& s);
    void place_on_display();
    void size_changed();
    void stylus(int kind, int x, int y);
    void button(int vk, bool down);
    void device_control(int control);
    void watch_hold(uint64_t real_ms);
    void watch_key(int sdl_key);
    void set_title();
    void release_all();
    void screenshot_key();
    void expect_screen_key();
    [[noreturn]] static void picture_failed(const std::string& error);
    [[noreturn]] void power_off();

    Settings settings_;
    DeviceFrame frame_;
    RealClock clock_;
    SDL_Window* window_ = nullptr;
    void* dbus_ = nullptr;  // libdbus, as SDL loads it
    uint32_t window_id_ = 0;
    bool audio_tried_ = false;
    bool audio_refused_ = false;  // the card cannot play: said once, not tried again
    void* alsa_ = nullptr;  // libasound, as SDL loads it, with its error output silenced
    void say_silence(const std::string& why);
    std::string audio_driver_;  // "" when there is no sound card

    Picture picture_;
    std::vector<uint16_t> shown_screen_;  // the framebuffer as last drawn
    LedLights shown_leds_;
    std::vector<int> shown_pressed_;
    bool shown_sounding_ = false;
    bool drawn_ = false;
    // The window's size as last seen, and where the handheld lies in it:
    // drawn at the largest whole scale that fits, centred.
    int window_width_ = 0, window_height_ = 0;
    int offset_x_ = 0, offset_y_ = 0;

    bool stylus_down_ = false;
    int mouse_button_ = 0;         // the drawn button held with the mouse
    std::vector<int> keys_down_;   // buttons held on the keyboard
    bool close_requested_ = false;
    bool launch_requested_ = false;  // L: Dravik starts at the person's next turn
    uint64_t sleeps_ = 0;  // waits in the window system for an event

    // Watching.
    int pace_ms_ = 600;
    bool paused_ = false;
    bool step_ = false;        // paused: go on to the next action or frame
    int next_line_ = 0;        // the line of the action about to be done
    bool has_mark_ = false;    // where the last tap landed (device pixels)
    int mark_x_ = 0, mark_y_ = 0;
    bool shown_mark_ = false;
};

}  // namespace sim

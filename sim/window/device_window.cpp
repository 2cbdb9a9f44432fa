#include "device_window.h"

#include <SDL.h>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "base/journal.h"
#include "base/person.h"
#include "drivers/drivers.h"
#include "gdi/screen.h"
#include "key_map.h"
#include "people/script_user.h"
#include "user/input.h"

namespace sim {

namespace {

const char* const kTitle = "Dravik - qz Orvex k7100 (simulated)";

json input_event(const char* action, const char* op) {
    return {{"action", action}, {"op", op}, {"from", "window"}};
}

// Something is at `path`, a link that leads nowhere included.
bool name_taken(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// ALSA prints its own complaints on standard error (a missing card, once
// for every device opened); the window says what matters in one line.
extern "C" void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

void* silence_alsa() {
    void* lib = dlopen("libasound.so.2", RTLD_NOW);
    if (!lib) return nullptr;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(lib, "snd_lib_error_set_handler"))) set(quiet_alsa);
    return lib;
}

}  // namespace

DeviceWindow::DeviceWindow(Settings settings) : settings_(std::move(settings)), frame_(settings_.scale) {}

std::unique_ptr<DeviceWindow> DeviceWindow::open(Settings settings, std::string* error) {
    // SDL asks the session bus about input methods and the screen saver,
    // which the device window needs neither of.  Without a session bus
    // libdbus would try to start one for this display: say there is none.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", /*overwrite*/ 0);
    // libdbus is held past SDL_Quit, which lets go of it, so that it can be
    // shut down then.
    void* dbus = dlopen("libdbus-1.so.3", RTLD_NOW);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        *error = std::string("the window system cannot be used: ") + SDL_GetError();
        if (dbus) dlclose(dbus);
        return nullptr;
    }
    // On X11 the window's pixels go straight to the server; the default
    // would bring up OpenGL (and its threads) only to copy one picture.
    const char* video = SDL_GetCurrentVideoDriver();
    if (video && std::strcmp(video, "x11") == 0) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    std::unique_ptr<DeviceWindow> w(new DeviceWindow(std::move(settings)));
    w->dbus_ = dbus;
    w->window_ = SDL_CreateWindow(kTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w->frame_.width(),
                                  w->frame_.height(), SDL_WINDOW_SHOWN);
    if (!w->window_) {
        *error = std::string("cannot open the device window: ") + SDL_GetError();
        return nullptr;  // the destructor shuts SDL down
    }
    w->window_id_ = SDL_GetWindowID(w->window_);

    DeviceWindow* self = w.get();
    w->clock_.set_waiter([self](uint64_t until) { self->wait(until, false); });
    set_clock(&w->clock_);
    set_sound_output([self](const Pcm& pcm) { self->play(pcm); });

    log_event("device_window", {{"op", "open"},
                                {"scale", w->frame_.scale()},
                                {"width", w->frame_.width()},
                                {"height", w->frame_.height()},
                                {"video", video ? json(video) : json(nullptr)}});
    w->present(true);
    return w;
}

DeviceWindow::~DeviceWindow() {
    set_sound_output(nullptr);
    set_clock(nullptr);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
    if (alsa_) dlclose(alsa_);
    // SDL reaches the message bus (input methods, the screen saver) through
    // libdbus, which keeps its own state until it is shut down.
    if (dbus_) {
        if (auto shutdown = reinterpret_cast<void (*)()>(dlsym(dbus_, "dbus_shutdown"))) shutdown();
        dlclose(dbus_);
    }
}

void DeviceWindow::wait(std::optional<uint64_t> until, bool stop_on_input) {
    for (;;) {
        present();
        if (settings_.recorder) settings_.recorder->poll();
        if (close_requested_) power_off();
        if (stop_on_input && input_pending()) return;
        uint64_t now = clock_.now_ms();
        if (until && now >= *until) return;

        std::optional<uint64_t> wake = until;
        auto consider = [&](std::optional<uint64_t> t) {
            if (t && (!wake || *t < *wake)) wake = t;
        };
        std::optional<uint64_t> feed_wake;
        if (const FeedStep* step = settings_.feed.next(now, stop_on_input, &feed_wake)) give_feed_step(*step);
        consider(feed_wake);
        consider(next_led_change(led_states(), led_controller_flashing(), now));

        int timeout = -1;  // nothing due: sleep until the window system has an event
        if (wake) timeout = *wake <= now ? 0 : int(std::min<uint64_t>(*wake - now, INT_MAX));
        SDL_Event e;
        ++sleeps_;
        if (SDL_WaitEventTimeout(&e, timeout)) {
            handle(e);
            while (SDL_PollEvent(&e)) handle(e);
        }
    }
}

void DeviceWindow::play(const Pcm& pcm) {
    uint64_t end = clock_.now_ms() + pcm.duration_ms();
    // The sound card is opened at the first sound, so that a device that
    // plays none keeps no sound threads.
    if (!audio_tried_) {
        audio_tried_ = true;
        alsa_ = silence_alsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && SDL_GetCurrentAudioDriver())
            audio_driver_ = SDL_GetCurrentAudioDriver();
        else
            say_silence(SDL_GetError());
    }
    SDL_AudioDeviceID device = 0;
    if (!audio_driver_.empty() && !audio_refused_) {
        SDL_AudioSpec want{};
        want.freq = int(pcm.rate);
        want.format = pcm.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
        want.channels = uint8_t(pcm.channels);
        want.samples = 1024;
        device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (device) {
            SDL_QueueAudio(device, pcm.samples.data(), uint32_t(pcm.samples.size()));
            SDL_PauseAudioDevice(device, 0);
        } else {
            say_silence(SDL_GetError());
        }
    }
    // The device is closed however the wait ends (the window may be closed
    // in the middle of a sound), and between sounds, so that no sound
    // thread runs while the device is idle.
    struct Closer {
        SDL_AudioDeviceID id;
        ~Closer() {
            if (id) SDL_CloseAudioDevice(id);
        }
    } closer{device};
    log_event("audio", {{"op", "play"},
                        {"ms", pcm.duration_ms()},
                        {"driver", audio_driver_.empty() ? json(nullptr) : json(audio_driver_)},
                        {"opened", device != 0}});
    // The person at the window goes on meanwhile (the demo may answer the
    // question that the sound goes with); what they do waits in the
    // device's queue until the sound is over.
    while (clock_.now_ms() < end && !input_pending()) person().idle(end);
    wait(end, false);
    // The call returns when the sound has ended: let the last of it drain.
    while (device && SDL_GetQueuedAudioSize(device) > 0 && clock_.now_ms() < end + 500) wait(clock_.now_ms() + 10, false);
}

// One line, once: no sound card (or one that will not play), so sounds
// last as long as they would, without a sound.
void DeviceWindow::say_silence(const std::string& why) {
    if (audio_refused_) return;
    audio_refused_ = true;
    std::string reason = why;
    for (char& c : reason)
        if (c == '\n' || c == '\r') c = ' ';
    std::cerr << "dravik-sim: no sound card" << (reason.empty() ? "" : " (" + reason + ")")
              << "; sounds take their time in silence\n";
}

void DeviceWindow::present(bool force) {
    const Framebuffer& fb = framebuffer();
    std::vector<LedState> leds = led_states();
    LedLights lights = led_lights(leds, led_controller_flashing(), clock_.now_ms());
    std::vector<int> pressed = keys_down_;
    if (mouse_button_) pressed.push_back(mouse_button_);
    const size_t screen_bytes = sizeof fb.pixels;
    bool screen_same = shown_screen_.size() * sizeof(uint16_t) == screen_bytes &&
                       std::memcmp(shown_screen_.data(), fb.pixels, screen_bytes) == 0;
    if (!force && drawn_ && screen_same && lights == shown_leds_ && pressed == shown_pressed_) return;

    frame_.draw(&picture_, fb, lights, pressed);
    shown_screen_.assign(&fb.pixels[0][0], &fb.pixels[0][0] + kScreenWidth * kScreenHeight);
    shown_leds_ = lights;
    shown_pressed_ = pressed;
    drawn_ = true;

    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) return;
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    int w = std::min(surface->w, picture_.width()), h = std::min(surface->h, picture_.height());
    SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_RGB888, picture_.data(), picture_.width() * 4, surface->format->format,
                      surface->pixels, surface->pitch);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(window_);
}

bool DeviceWindow::save_picture(const std::string& path, std::string* error) {
    present();
    return picture_.write_png(path, error);
}

void DeviceWindow::handle(const SDL_Event& e) {
    switch (e.type) {
        case SDL_QUIT: close_requested_ = true; break;
        case SDL_WINDOWEVENT:
            if (e.window.windowID != window_id_) break;
            switch (e.window.event) {
                case SDL_WINDOWEVENT_CLOSE: close_requested_ = true; break;
                case SDL_WINDOWEVENT_FOCUS_LOST: release_all(); break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                case SDL_WINDOWEVENT_RESTORED: present(true); break;
                default: break;
            }
            break;
        case SDL_MOUSEBUTTONDOWN: {
            if (e.button.button != SDL_BUTTON_LEFT || e.button.windowID != window_id_) break;
            int sx, sy;
            if (frame_.to_screen(e.button.x, e.button.y, &sx, &sy)) {
                stylus(RawInput::StylusDown, e.button.x, e.button.y);
            } else if (int vk = frame_.button_at(e.button.x, e.button.y)) {
                if (mouse_button_) button(mouse_button_, false);
                mouse_button_ = vk;
                button(vk, true);
            }
            SDL_CaptureMouse(SDL_TRUE);
            break;
        }
        case SDL_MOUSEMOTION:
            if (stylus_down_ && e.motion.windowID == window_id_) stylus(RawInput::StylusMove, e.motion.x, e.motion.y);
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT) break;
            if (stylus_down_) stylus(RawInput::StylusUp, e.button.x, e.button.y);
            if (mouse_button_) {
                button(mouse_button_, false);
                mouse_button_ = 0;
            }
            SDL_CaptureMouse(SDL_FALSE);
            break;
        case SDL_KEYDOWN: {
            if (e.key.repeat) break;
            if (e.key.keysym.sym == SDLK_F12) {
                screenshot_key();
                break;
            }
            if (e.key.keysym.sym == SDLK_F11) {
                expect_screen_key();
                break;
            }
            int vk = device_key_for(e.key.keysym.sym);
            if (!vk || std::find(keys_down_.begin(), keys_down_.end(), vk) != keys_down_.end()) break;
            keys_down_.push_back(vk);
            button(vk, true);
            break;
        }
        case SDL_KEYUP: {
            int vk = device_key_for(e.key.keysym.sym);
            auto it = std::find(keys_down_.begin(), keys_down_.end(), vk);
            if (!vk || it == keys_down_.end()) break;
            keys_down_.erase(it);
            button(vk, false);
            break;
        }
        default: break;
    }
}

void DeviceWindow::stylus(int kind, int x, int y) {
    int sx, sy;
    frame_.to_screen(x, y, &sx, &sy);
    queue_input({RawInput::Kind(kind), sx, sy, 0});
    if (settings_.recorder && kind == RawInput::StylusDown) settings_.recorder->stylus_down(sx, sy);
    if (settings_.recorder && kind == RawInput::StylusUp) settings_.recorder->stylus_up(sx, sy);
    if (kind == RawInput::StylusDown) {
        stylus_down_ = true;
        json ev = input_event("stylus", "down");
        ev["x"] = sx;
        ev["y"] = sy;
        log_event("input", ev);
    } else if (kind == RawInput::StylusUp) {
        stylus_down_ = false;
        json ev = input_event("stylus", "up");
        ev["x"] = sx;
        ev["y"] = sy;
        log_event("input", ev);
    }
}

void DeviceWindow::button(int vk, bool down) {
    queue_input({down ? RawInput::KeyDown : RawInput::KeyUp, 0, 0, vk});
    if (settings_.recorder && down) settings_.recorder->press(vk);
    json ev = input_event("button", down ? "down" : "up");
    ev["key"] = vk;
    log_event("input", ev);
}

void DeviceWindow::release_all() {
    if (stylus_down_) {
        int x, y;
        SDL_GetMouseState(&x, &y);
        stylus(RawInput::StylusUp, x, y);
    }
    if (mouse_button_) button(mouse_button_, false);
    mouse_button_ = 0;
    for (int vk : keys_down_) button(vk, false);
    keys_down_.clear();
}

void DeviceWindow::give_feed_step(const FeedStep& s) {
    auto push = [](SDL_Event e) {
        e.common.timestamp = SDL_GetTicks();
        SDL_PushEvent(&e);
    };
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    switch (s.kind) {
        case FeedStep::Down:
        case FeedStep::Up:
            e.type = s.kind == FeedStep::Down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
            e.button.windowID = window_id_;
            e.button.button = SDL_BUTTON_LEFT;
            e.button.state = s.kind == FeedStep::Down ? SDL_PRESSED : SDL_RELEASED;
            e.button.clicks = 1;
            e.button.x = s.x;
            e.button.y = s.y;
            push(e);
            break;
        case FeedStep::Move:
            e.type = SDL_MOUSEMOTION;
            e.motion.windowID = window_id_;
            e.motion.state = stylus_down_ || mouse_button_ ? SDL_BUTTON_LMASK : 0;
            e.motion.x = s.x;
            e.motion.y = s.y;
            push(e);
            break;
        case FeedStep::Key:
        case FeedStep::KeyDown:
        case FeedStep::KeyUp:
            e.key.windowID = window_id_;
            e.key.keysym.sym = s.key;
            e.key.keysym.scancode = SDL_GetScancodeFromKey(s.key);
            if (s.kind != FeedStep::KeyUp) {
                e.type = SDL_KEYDOWN;
                e.key.state = SDL_PRESSED;
                push(e);
            }
            if (s.kind != FeedStep::KeyDown) {
                e.type = SDL_KEYUP;
                e.key.state = SDL_RELEASED;
                push(e);
            }
            break;
        case FeedStep::Close:
            e.type = SDL_WINDOWEVENT;
            e.window.windowID = window_id_;
            e.window.event = SDL_WINDOWEVENT_CLOSE;
            push(e);
            break;
        case FeedStep::Wait: break;
    }
}

void DeviceWindow::screenshot_key() {
    std::string dir = settings_.screenshots_dir.empty() ? "." : settings_.screenshots_dir;
    mkdir(dir.c_str(), 0755);
    std::string path;
    for (int n = 1;; ++n) {
        path = screenshot_path(dir, "device-window-" + std::to_string(n) + ".png");
        if (!name_taken(path)) break;
    }
    std::string error;
    bool ok = save_picture(path, &error);
    log_event("screenshot", {{"file", path}, {"ok", ok}});
    if (!ok) picture_failed(error);
    std::cout << "Picture of the device window: " << path << std::endl;
}

// A picture that cannot be written stops the run, as a screenshot of a
// script does (exit code 2).
void DeviceWindow::picture_failed(const std::string& error) {
    throw OutputFailed("dravik-sim: " + error);
}

void DeviceWindow::expect_screen_key() {
    if (!settings_.recorder) {
        std::cout << "F11 adds an expect-screen line to the script being recorded (--record FILE)" << std::endl;
        return;
    }
    std::string error;
    std::string picture = settings_.recorder->expect_screen(&error);
    if (picture.empty()) picture_failed(error);
    std::cout << "Expected screen: " << picture << " (expect-screen in " << settings_.recorder->path() << ")"
              << std::endl;
}

void DeviceWindow::power_off() {
    close_requested_ = false;
    release_all();
    if (settings_.recorder) settings_.recorder->finish();
    // How often the window went to sleep, and the processor time used so
    // far: an idle device sleeps once and uses nothing meanwhile.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return int64_t(t.tv_sec) * 1000 + t.tv_usec / 1000; };
    log_event("device_window",
              {{"op", "close"}, {"sleeps", sleeps_}, {"cpu_ms", ms(usage.ru_utime) + ms(usage.ru_stime)}});
    throw PowerOff{};
}

}  // namespace sim

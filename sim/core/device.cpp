// Power-on, boot, the shell's loop, reset and power-off.
#include "device.h"

#include <iostream>

#include "clock.h"
#include "controls.h"
#include "demo_user.h"
#include "drivers.h"
#include "gdi.h"
#include "hotkeys.h"
#include "input.h"
#include "journal.h"
#include "kernel_objects.h"
#include "local_time.h"
#include "message_queue.h"
#include "process.h"
#include "registry.h"
#include "screen.h"
#include "script_user.h"
#include "shell.h"
#include "startup_folder.h"
#include "state_folder.h"
#include "user.h"
#include "window.h"

namespace sim {

void register_message_box_class();
void register_dialog_class();
void unload_all_libraries();
void reset_display_access();

namespace {
User* g_user = nullptr;
}  // namespace

void boot_device() {
    log_event("boot");
    Framebuffer& fb = framebuffer();
    for (auto& row : fb.pixels)
        for (auto& p : row) p = 0;
    register_control_classes();
    register_message_box_class();
    register_dialog_class();
    start_shell();
    shell_take_application_buttons();
    start_drivers();
    reset_display_access();
}

void tear_down_device() {
    discard_all_windows();
    clear_queue();
    clear_hotkeys();
    clear_gdi();
    clear_handles();
    clear_registry_handles();
    stop_drivers();
    unload_all_libraries();
}

namespace {

// The shell's own message loop: runs whenever no program's loop does.
void shell_loop() {
    MSG msg;
    for (;;) {
        next_message(&msg, nullptr, true);
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        dispatch(msg);
    }
}

}  // namespace

User& user() { return *g_user; }
void set_user(User* u) { g_user = u; }

int run_device(const RunOptions& options) {
    std::unique_ptr<User> person;
    if (!options.given_user) person = make_user(options);
    set_user(options.given_user ? options.given_user : person.get());
    set_power_on_time();
    bool first_boot = true;
    for (;;) {
        try {
            boot_device();
            if (first_boot) {
                first_boot = false;
                run_program(u"\\Windows\\Dravik.exe", u"", nullptr);
            } else {
                run_startup_folder();
            }
            shell_loop();
        } catch (const PowerOff&) {
            tear_down_device();
            log_event("power_off");
            set_user(nullptr);
            return 0;
        } catch (const DeviceReset&) {
            tear_down_device();
            log_event("reset");
        } catch (const PowerCycle&) {
            tear_down_device();
            log_event("power_off");
            // Only what reached the disk survives: read the folder again.
            if (!options.state_dir.empty()) {
                StateFolder folder;
                std::string error;
                bool ok = folder.open(options.state_dir, false, &error);
                user().state_folder_reloaded(ok, error);
                if (!ok) {
                    std::cerr << error << "\n";
                    set_user(nullptr);
                    return 2;
                }
            }
            first_boot = true;
        } catch (const ScriptError& e) {
            tear_down_device();
            log_event("power_off");
            std::cerr << e.what() << "\n";
            set_user(nullptr);
            return 2;
        } catch (const DemoFailed& e) {
            tear_down_device();
            log_event("power_off");
            std::cerr << "dravik-sim: the demo cannot go on: " << e.what() << "\n";
            set_user(nullptr);
            return 1;
        }
    }
}

}  // namespace sim

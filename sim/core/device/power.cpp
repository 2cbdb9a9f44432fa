// Power-on, boot, the shell's loop, reset and power-off.
#include "device/power.h"

#include <iostream>

#include "base/journal.h"
#include "base/person.h"
#include "drivers/drivers.h"
#include "base/device_paths.h"
#include "files/filestore.h"
#include "gdi/gdi_objects.h"
#include "gdi/screen.h"
#include "base/clock.h"
#include "kernel/kernel_objects.h"
#include "kernel/local_time.h"
#include "kernel/process.h"
#include "registry/registry.h"
#include "shell/shell.h"
#include "shell/shortcuts.h"
#include "user/controls.h"
#include "user/hotkeys.h"
#include "user/input.h"
#include "user/message_queue.h"
#include "user/window.h"
#include "files/state_folder.h"

namespace sim {

void register_message_box_class();
void register_dialog_class();
void unload_all_libraries();

namespace {
Person* g_person = nullptr;

// Switching off writes the registry's file whole, without the changes
// appended to it one by one.  A pulled battery does not.
void compact_registry() {
    std::string error;
    if (!registry().compact(&error)) std::cerr << error << "\n";
}
std::string g_output_failure;
}  // namespace

const std::string& output_failure() { return g_output_failure; }

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
    reset_file_calls();
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
        next_message(&msg, MessageFilter{}, WhenIdle::Wait, Removal::Remove);
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        dispatch(msg);
    }
}

}  // namespace

// Whatever the person is asked, the journal holds all that happened before.
Person& person() {
    journal().flush();
    return *g_person;
}
void set_person(Person* p) { g_person = p; }

int run_device(Person& holder, const std::string& state_dir, const char* clock_start) {
    set_person(&holder);
    set_power_on_time(clock_start);
    bool first_boot = true;
    for (;;) {
        try {
            boot_device();
            if (first_boot) {
                first_boot = false;
                run_program(kProgramPath, u"", nullptr);
            } else {
                run_startup_folder();
            }
            shell_loop();
        } catch (const PowerOff&) {
            tear_down_device();
            compact_registry();
            log_event("power_off");
            set_person(nullptr);
            return 0;
        } catch (const DeviceReset&) {
            tear_down_device();
            log_event("reset");
        } catch (const PowerCycle&) {
            tear_down_device();
            log_event("power_off");
            // Only what reached the disk survives: read the folder again.
            if (!state_dir.empty()) {
                StateFolder folder;
                std::string error;
                bool ok = folder.open(state_dir, false, &error);
                person().state_folder_reloaded(ok, error);
                if (!ok) {
                    std::cerr << error << "\n";
                    set_person(nullptr);
                    return 2;
                }
            }
            first_boot = true;
        } catch (const PersonGivesUp& e) {
            tear_down_device();
            compact_registry();
            log_event("power_off");
            set_person(nullptr);
            g_output_failure = e.host_failed ? e.report : "";
            std::cerr << e.report << "\n";
            return e.exit_code;
        }
    }
}

}  // namespace sim

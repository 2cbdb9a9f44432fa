// The serial driver behind "COM2:" (the infrared port).  The profile's
// "com2" decides how it behaves: {"open_error": N} fails every open with
// last error N; {"write": "ok" | "fails" | "partial"} (partial takes 20 bytes).
// A serial port has one user at a time: while a handle is open, another
// open fails with ERROR_ACCESS_DENIED.
#include <windows.h>

#include <iomanip>
#include <sstream>

#include "base/journal.h"
#include "base/profile.h"
#include "drivers/drivers.h"
#include "files/filestore.h"

namespace sim {

namespace {

constexpr DWORD kPartialBytes = 20;

std::string hex(const void* data, DWORD n) {
    std::ostringstream s;
    auto* p = static_cast<const uint8_t*>(data);
    for (DWORD i = 0; i < n; ++i) s << std::hex << std::setw(2) << std::setfill('0') << int(p[i]);
    return s.str();
}

nlohmann::json settings() {
    const auto& raw = profile().raw();
    return raw.contains("com2") && raw["com2"].is_object() ? raw["com2"] : nlohmann::json::object();
}

bool& port_in_use() {
    static bool in_use = false;
    return in_use;
}

struct SerialPort : StreamObject {
    SerialPort() { port_in_use() = true; }
    ~SerialPort() override { port_in_use() = false; }

    BOOL read(void*, DWORD, DWORD* done) override {
        if (done) *done = 0;  // nothing arrives: no partner is in range
        return TRUE;
    }
    BOOL write(const void* buffer, DWORD count, DWORD* done) override {
        std::string mode = settings().value("write", std::string("ok"));
        DWORD taken = mode == "fails" ? 0 : mode == "partial" ? std::min(count, kPartialBytes) : count;
        bool ok = mode != "fails";
        if (done) *done = taken;
        log_event("com", {{"op", "write"},
                          {"port", "COM2:"},
                          {"bytes", taken},
                          {"data_hex", hex(buffer, taken)},
                          {"ok", ok},
                          {"error", ok ? 0 : int(ERROR_WRITE_FAULT)}});
        if (!ok) SetLastError(ERROR_WRITE_FAULT);
        return ok ? TRUE : FALSE;
    }
    bool close() override {
        log_event("com", {{"op", "close"}, {"port", "COM2:"}, {"ok", true}});
        return true;
    }
};

HANDLE open_port(DWORD, DWORD, DWORD) {
    nlohmann::json s = settings();
    if (s.contains("open_error") && s["open_error"].is_number_integer()) {
        int error = s["open_error"].get<int>();
        log_event("com", {{"op", "open"}, {"port", "COM2:"}, {"ok", false}, {"error", error}});
        SetLastError(DWORD(error));
        return INVALID_HANDLE_VALUE;
    }
    if (port_in_use()) {
        log_event("com", {{"op", "open"}, {"port", "COM2:"}, {"ok", false}, {"error", int(ERROR_ACCESS_DENIED)}});
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    log_event("com", {{"op", "open"}, {"port", "COM2:"}, {"ok", true}, {"error", 0}});
    return add_handle(std::make_shared<SerialPort>());
}

}  // namespace

void start_serial_driver() { register_stream_driver(u"COM2:", open_port); }
void stop_serial_driver() { register_stream_driver(u"COM2:", nullptr); }

}  // namespace sim

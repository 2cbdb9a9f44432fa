#include "kernel/local_time.h"

#include <cstdio>
#include <ctime>

#include "base/profile.h"
#include "base/clock.h"

namespace sim {

namespace {
std::time_t g_power_on = 0;  // seconds, as a UTC-based calendar value of the device's local time
uint64_t g_power_on_ms = 0;  // device clock at power-on
}

void set_power_on_time(const char* fallback) {
    std::string given = profile().local_time();
    if (given.empty() && fallback) given = fallback;
    std::tm tm{};
    if (!given.empty() && std::sscanf(given.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                                      &tm.tm_hour, &tm.tm_min, &tm.tm_sec) == 6) {
        tm.tm_year -= 1900;
        tm.tm_mon -= 1;
    } else {
        std::time_t now = std::time(nullptr);
        localtime_r(&now, &tm);
    }
    g_power_on = timegm(&tm);
    g_power_on_ms = clock().now_ms();
}

SYSTEMTIME device_local_time() {
    uint64_t elapsed = clock().now_ms() - g_power_on_ms;
    std::time_t t = g_power_on + std::time_t(elapsed / 1000);
    std::tm tm{};
    gmtime_r(&t, &tm);
    SYSTEMTIME st{};
    st.wYear = WORD(tm.tm_year + 1900);
    st.wMonth = WORD(tm.tm_mon + 1);
    st.wDayOfWeek = WORD(tm.tm_wday);
    st.wDay = WORD(tm.tm_mday);
    st.wHour = WORD(tm.tm_hour);
    st.wMinute = WORD(tm.tm_min);
    st.wSecond = WORD(tm.tm_sec);
    st.wMilliseconds = WORD(elapsed % 1000);
    return st;
}

}  // namespace sim

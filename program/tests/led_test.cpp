#include "tests/led_test.h"

#include <string.h>

#include "app/catalogue/run_state.h"
#include "app/catalogue/string_table.h"
#include "app/program_handles.h"
#include "device/device_utility.h"
#include "tests/led_register_block.h"

#define LED_OFF 0
#define LED_ON 1
#define LED_BLINK 2

// How long each LED is lit in the lighting pass.
#define LED_LIT_MS 1000
// The blink: a 0.2-second cycle, lit for 0.1 seconds (microseconds).
#define LED_BLINK_CYCLE_US 200000
#define LED_BLINK_ON_US 100000
// The controller's flashing parameters.
#define LED_FLASH_CYCLE_FIELD 2
#define LED_FLASH_RATE_FIELD 1

// Held from the start of the test until the sequence's restore step is done.
static HMODULE g_hLedTestLibrary = NULL;

// The number of notification LEDs; -1 when the driver cannot tell.
static int ReadLedCount() {
    NLED_COUNT_INFO info;
    if (!NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &info)) return -1;
    return (int)info.cLeds;
}

// A failed setting is not reported; the test goes on.
static void SetLed(NLED_SETTINGS_INFO* settings, int led, int mode) {
    settings->LedNum = (UINT)led;
    settings->OffOnBlink = mode;
    NLedSetDevice(NLED_SETTINGS_INFO_ID, settings);
}

static void SetLedBlinking(NLED_SETTINGS_INFO* settings, int led) {
    settings->LedNum = (UINT)led;
    settings->OffOnBlink = LED_BLINK;
    settings->TotalCycleTime = LED_BLINK_CYCLE_US;
    settings->OnTime = LED_BLINK_ON_US;
    NLedSetDevice(NLED_SETTINGS_INFO_ID, settings);
}

void RunLedTest(HWND mainWindow) {
    // One record serves the whole test; nothing carries over from an
    // earlier run.
    NLED_SETTINGS_INFO settings;
    memset(&settings, 0, sizeof(settings));
    LedRegisterBlock registers = {NULL, NULL};

    int count = ReadLedCount();

    int radio = 0;
    g_hLedTestLibrary = LoadDeviceUtility(mainWindow);
    QueryBlueToothRadio(g_hLedTestLibrary, &radio);
    // The radio's message has no owner: a user who left the program from
    // behind it ended the run, and no LED is lit for nobody.
    if (UserHasLeft()) return;

    for (int led = 0; led < count; ++led) {
        SetLed(&settings, led, LED_ON);
        Sleep(LED_LIT_MS);
        SetLed(&settings, led, LED_OFF);
    }
    for (int led = 0; led < count; ++led) SetLedBlinking(&settings, led);

    StartControllerFlashing(&registers, LED_FLASH_CYCLE_FIELD, LED_FLASH_RATE_FIELD);
    int answer = MessageBoxW(mainWindow, g_szLedQuestion, g_szLed, MB_OKCANCEL | MB_ICONINFORMATION | MB_SETFOREGROUND);
    StopControllerFlashing(&registers);

    for (int led = 0; led < count; ++led) SetLed(&settings, led, LED_OFF);

    ResultTable[TestLed] = ResultOfAnswer(answer);
}

void ReleaseLedTestLibrary() {
    if (g_hLedTestLibrary == NULL) return;
    FreeLibrary(g_hLedTestLibrary);
    g_hLedTestLibrary = NULL;
}

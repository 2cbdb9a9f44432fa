#include "tests/sound_test.h"

#include "app/catalogue/run_state.h"
#include "app/catalogue/string_table.h"
#include "app/device_path.h"
#include "app/program_handles.h"
#include "tests/registry_dword.h"

static const WCHAR AudioFlagKey[] = TEXT("SYSTEM\\CurrentControlSet\\AdvancedCPL");
static const WCHAR AudioFlagValue[] = TEXT("Dravik");
static const WCHAR AudioEventName[] = TEXT("AudioChangeEvent");
static const WCHAR AlarmSoundName[] = TEXT("Alarm3.WAV");

// Raises or lowers the audio driver's flag; a failed write is reported and
// the test goes on.
static void WriteAudioFlag(DWORD value) {
    if (!WriteRegistryDword(HKEY_LOCAL_MACHINE, AudioFlagKey, AudioFlagValue, value))
        MessageBoxW(NULL, TEXT("Registry write error : CurrentVolume"), NULL, MB_OK);
}

// Tells the audio driver to look at the flag again; without the event
// there is nothing to pulse.
static void PulseAudioEvent(HANDLE audioEvent) {
    if (audioEvent) EventModify(audioEvent, EVENT_PULSE);
}

void SoundTest(HWND mainWindow) {
    HANDLE audioEvent = CreateEventW(NULL, FALSE, FALSE, AudioEventName);

    WriteAudioFlag(1);
    PulseAudioEvent(audioEvent);
    // The write's error box has no owner: a user who left the program from
    // behind it ended the run (leaving lowers the flag), so nothing is asked.
    if (UserHasLeft()) {
        if (audioEvent) CloseHandle(audioEvent);
        return;
    }

    // Each tick reaches the main window through the question's own message
    // loop and plays the sound there (OnSoundTimer).
    SetTimer(mainWindow, SOUND_TIMER_ID, SOUND_TIMER_PERIOD_MS, NULL);
    int answer = MessageBoxW(mainWindow, g_szSoundQuestion, g_szSound,
                             MB_OKCANCEL | MB_ICONINFORMATION | MB_SETFOREGROUND);
    KillTimer(mainWindow, SOUND_TIMER_ID);

    WriteAudioFlag(0);
    PulseAudioEvent(audioEvent);

    ResultTable[TestSound] = ResultOfAnswer(answer);

    if (audioEvent) CloseHandle(audioEvent);
}

LRESULT OnSoundTimer() {
    // "\Windows\Alarm3.WAV", built afresh at every tick.
    WCHAR path[MAX_PATH];
    PlaySoundW(BuildDevicePath(path, g_szWindowsFolder, AlarmSoundName), NULL, SND_NODEFAULT);
    return 0;
}

void LowerAudioFlagOnLeaving() { WriteRegistryDword(HKEY_LOCAL_MACHINE, AudioFlagKey, AudioFlagValue, 0); }

// The Sound test: the alarm sound plays every 700 ms while the user is asked
// whether it can be heard.  Around the question the audio driver is told
// that a diagnostic test listens: the flag "Dravik" under
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\AdvancedCPL goes to 1 and back
// to 0, each time followed by a pulse of the event "AudioChangeEvent".
#pragma once

#include "platform/win32.h"

// The test's timer on the main window; the only timer the program sets.
#define SOUND_TIMER_ID 1224
#define SOUND_TIMER_PERIOD_MS 700

// Runs the test with the main window as owner of the question and of the
// timer, and stores the Sound result: OK PASS, Cancel FAIL, anything else
// (a question that could not be shown) "?".
void SoundTest(HWND mainWindow);

// The main window's WM_TIMER handling, for any timer id: plays the alarm
// sound once, synchronously, with no default sound in its place when the
// file cannot be played.  Returns the message's result, 0.
LRESULT OnSoundTimer();

// Lowers the audio driver's flag without a word, when the user leaves the
// program: a flag that a pulled battery left raised during the question
// must not outlive the program.
void LowerAudioFlagOnLeaving();

// The walk through the hardware buttons: which button the arrow shows in
// each state of the key test, where the arrow stands, and which key moves
// the test on.  Arrow positions are the arrow bitmap's top-left corner in
// the key test dialog's client pixels; the device picture is drawn at
// (KEY_PICTURE_X, KEY_PICTURE_Y).
#pragma once

#include "platform/win32.h"

// The state a new dialog starts in, and the state after the last button.
const int KEY_TEST_FIRST_STATE = 2;
const int KEY_TEST_COMPLETE = -1;

const int KEY_PICTURE_X = 27;
const int KEY_PICTURE_Y = 0;

struct KeyTestStep {
    int state;
    int arrowX, arrowY;
    UINT advanceKey;  // the key code that moves the test on
    int nextState;
};

// Nine steps: the four application buttons from left to right (193 to 196),
// then the pad: left, up, right, action, down.
const int KEY_TEST_STEP_COUNT = 9;
extern const KeyTestStep KeyTestWalk[KEY_TEST_STEP_COUNT];

// The step of `state`, or NULL when the state has none (complete, or a
// value the test never takes).
const KeyTestStep* KeyTestStepFor(int state);

// The state after `key` is pressed in `state`: the step's next state when
// the key is the one it waits for, otherwise `state` unchanged.
int NextKeyTestState(int state, UINT key);

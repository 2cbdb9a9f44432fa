#include "tests/key_test_walk.h"

const KeyTestStep KeyTestWalk[KEY_TEST_STEP_COUNT] = {
    {2, 51, 202, VK_APP1, 3},             // application button 1, leftmost
    {3, 69, 194, VK_APP2, 4},             // application button 2
    {4, 137, 194, VK_APP3, 5},            // application button 3
    {5, 155, 202, VK_APP4, 6},            // application button 4, rightmost
    {6, 92, 207, VK_LEFT, 7},             // pad, left
    {7, 102, 197, VK_UP, 8},              // pad, up
    {8, 112, 207, VK_RIGHT, 9},           // pad, right
    {9, 102, 207, VK_RETURN, 10},         // pad, centre: the action button
    {10, 102, 215, VK_DOWN, KEY_TEST_COMPLETE},  // pad, down
};

const KeyTestStep* KeyTestStepFor(int state) {
    for (int i = 0; i < KEY_TEST_STEP_COUNT; ++i)
        if (KeyTestWalk[i].state == state) return &KeyTestWalk[i];
    return NULL;
}

int NextKeyTestState(int state, UINT key) {
    const KeyTestStep* step = KeyTestStepFor(state);
    if (step == NULL || step->advanceKey != key) return state;
    return step->nextState;
}

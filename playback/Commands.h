// The codes the control, its worker and its pages share: the values of the Command and Sort
// properties, the pause states, and the buttons of the strip; and the motion the worker makes
// of a command.
#pragma once

#include <cstdint>

// Values of Command. The property stores any 16-bit value it is given; the worker moves the
// cursor only for these.
enum PlayerCommand : int16_t {
    kCommandNone = 0,
    kCommandPlay = 1,
    kCommandRplay = 2,
    kCommandFf = 3,
    kCommandRew = 4,
    kCommandStepFor = 5,
    kCommandStepBack = 6,
    kCommandStop = 7,
};

// The pause state; the Pause property reads true for every state but Running, and is saved
// and set as that boolean: a true Pause is the user's.
enum class PauseState : int32_t {
    Running = 0,
    User = 1,
    SingleStep = 2,  // after StepFor or StepBack: one step per wake
    SliderDrag = 3,  // the slider is held: one step per wake, to the dragged frame
};

// Values of Sort. Like Command the property stores any 16-bit value; a value other than these
// lists no frames.
enum FrameSort : int32_t {
    kSortNone = 0,      // the order the directory search gives
    kSortByNumber = 1,  // the number in the name after the prefix (FrameNumberKey)
    kSortByTime = 2,    // the files' creation times
};
constexpr bool IsFrameSort(int32_t sort) {
    return sort == kSortNone || sort == kSortByNumber || sort == kSortByTime;
}

// The strip's buttons, left to right, as the hit test numbers them; kButtonNone is a miss.
enum StripButton : int32_t {
    kButtonNone = 0,
    kButtonRplay = 1,
    kButtonPlay = 2,
    kButtonStop = 3,
    kButtonStepBack = 4,
    kButtonPause = 5,
    kButtonStepFor = 6,
    kButtonRew = 7,
    kButtonFf = 8,
    kButtonLoop = 9,
};
// The button whose square is the k-th from the left (0-based).
constexpr StripButton ButtonAt(int32_t k) {
    return StripButton(k + 1);
}

// What the worker makes of a command: where the cursor goes, and at what pace. Rest shows the
// first frame and waits; an unknown code reloads the frame at the cursor at every pass, the
// pace of a playing command, moving nowhere.
enum class Motion : uint8_t { Rest, Forward, Backward, Reload };
// A single step waits for a wake after it, never bounces and never dwells; fast (Ff and Rew)
// runs with a tenth of the delay.
enum class Pace : uint8_t { Normal, Fast, Step };
struct CCommandMotion {
    Motion motion = Motion::Rest;
    Pace pace = Pace::Normal;
    // Forward or backward at a playing pace: what reads ahead.
    constexpr bool Plays() const {
        return (motion == Motion::Forward || motion == Motion::Backward) && pace != Pace::Step;
    }
    constexpr bool operator==(const CCommandMotion&) const = default;
};

constexpr CCommandMotion MotionOf(int32_t command) {
    switch (command) {
        case kCommandNone:
        case kCommandStop:
            return {Motion::Rest, Pace::Normal};
        case kCommandPlay:
            return {Motion::Forward, Pace::Normal};
        case kCommandRplay:
            return {Motion::Backward, Pace::Normal};
        case kCommandFf:
            return {Motion::Forward, Pace::Fast};
        case kCommandRew:
            return {Motion::Backward, Pace::Fast};
        case kCommandStepFor:
            return {Motion::Forward, Pace::Step};
        case kCommandStepBack:
            return {Motion::Backward, Pace::Step};
        default:
            return {Motion::Reload, Pace::Normal};
    }
}

constexpr bool IsForward(int32_t command) {
    return MotionOf(command).motion == Motion::Forward;
}
constexpr bool IsBackward(int32_t command) {
    return MotionOf(command).motion == Motion::Backward;
}
constexpr bool IsStep(int32_t command) {
    return MotionOf(command).pace == Pace::Step;
}
constexpr bool IsFast(int32_t command) {
    return MotionOf(command).pace == Pace::Fast;
}
// The commands that show the first frame and wait.
constexpr bool IsAtRest(int32_t command) {
    return MotionOf(command).motion == Motion::Rest;
}

// The command of the same speed in the other direction, which a bounce turns a playing
// command into (Play and Rplay, Ff and Rew); any other command is its own.
constexpr int32_t TurnedCommand(int32_t command) {
    switch (command) {
        case kCommandPlay:
            return kCommandRplay;
        case kCommandRplay:
            return kCommandPlay;
        case kCommandFf:
            return kCommandRew;
        case kCommandRew:
            return kCommandFf;
        default:
            return command;
    }
}

// The command a button sets, or kCommandNone for Pause and Loop, which toggle their property.
constexpr PlayerCommand CommandOfButton(int32_t button) {
    switch (button) {
        case kButtonRplay:
            return kCommandRplay;
        case kButtonPlay:
            return kCommandPlay;
        case kButtonStop:
            return kCommandStop;
        case kButtonStepBack:
            return kCommandStepBack;
        case kButtonStepFor:
            return kCommandStepFor;
        case kButtonRew:
            return kCommandRew;
        case kButtonFf:
            return kCommandFf;
        default:
            return kCommandNone;
    }
}

// The run loop's speeds; what one generation leaves behind, how far a run
// may go and why it stopped are the run session's (engine/run_session.h).
//
// Every speed runs the same loop (CLifeDoc::Advance): a speed only says how
// many generations one timer tick makes before the view draws, and how long
// the view waits before the next tick. So every speed gives the same
// generations, counters and statistics lines.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/run_session.h"

namespace cellarium {

// The furthest generation Go to Generation, the runner and the module run to.
inline constexpr int64_t kMaxGeneration = 1000000000000000000;

// --- Speeds ---------------------------------------------------------------------
// Steps from slowest to fastest: one generation every 1000, 500, 250, 100
// and 50 ms; the default of one generation per 10 ms tick; 2, 4, ... 65536
// generations per frame; and Maximum, as many as fit in a frame.
inline constexpr int kSpeedSteps = 23;
inline constexpr int kDefaultSpeedStep = 5;
inline constexpr int kMaximumSpeedStep = kSpeedSteps - 1;

struct RunSpeed {
    // The wait between the end of one tick and the next (0: only for the
    // events already waiting).
    unsigned intervalMs = 10;
    // Generations one tick makes at most; 0 for as many as fit in a frame.
    int64_t perFrame = 1;
};

// Generations made in one tick never run past this, so the window draws and
// answers the user between them at every speed and board size; a tick makes
// at least one generation however long it takes.
inline constexpr std::chrono::milliseconds kFrameBudget{16};

// A step outside 0 .. kSpeedSteps - 1 is taken as the nearest one.
RunSpeed SpeedOf(int step);
// The speed in words: "1 gen / 250 ms", "x16 / frame", "max".
std::string SpeedWords(int step);
// What the settings keep for a step: the milliseconds per generation as a
// negative number for one generation a tick, the generations per frame for
// the faster steps, 0 for Maximum. A value that is no step's reads as the
// default step.
int SpeedSettingValue(int step);
int SpeedStepFromSetting(int value);

// The generations a second a run achieves, over half a second or more.
class RateMeter {
public:
    void Restart(RunClock::time_point now);
    // Counts generations made up to now; true when a new rate was taken.
    bool Add(int64_t generations, RunClock::time_point now);
    std::optional<double> Rate() const { return rate_; }

private:
    RunClock::time_point since_{};
    int64_t generations_ = 0;
    std::optional<double> rate_;
};

}  // namespace cellarium

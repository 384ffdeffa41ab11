#include "document/run_loop.h"

#include <algorithm>

namespace cellarium {
namespace {

constexpr unsigned kSlowIntervals[kDefaultSpeedStep + 1] = {1000, 500, 250, 100, 50, 10};
// The tick of the faster steps is the default one; Maximum does not wait
// beyond letting the window draw and take the input that came.
constexpr unsigned kFastInterval = 10;
constexpr unsigned kMaximumInterval = 0;

int Clamp(int step) {
    return std::clamp(step, 0, kMaximumSpeedStep);
}

}  // namespace

RunSpeed SpeedOf(int step) {
    step = Clamp(step);
    if (step <= kDefaultSpeedStep) return RunSpeed{kSlowIntervals[step], 1};
    if (step == kMaximumSpeedStep) return RunSpeed{kMaximumInterval, 0};
    return RunSpeed{kFastInterval, int64_t(1) << (step - kDefaultSpeedStep)};
}

std::string SpeedWords(int step) {
    const RunSpeed speed = SpeedOf(step);
    if (speed.perFrame == 0) return "max";
    if (speed.perFrame == 1) return "1 gen / " + std::to_string(speed.intervalMs) + " ms";
    return "x" + std::to_string(speed.perFrame) + " / frame";
}

int SpeedSettingValue(int step) {
    const RunSpeed speed = SpeedOf(step);
    if (speed.perFrame == 1) return -int(speed.intervalMs);
    return int(speed.perFrame);
}

int SpeedStepFromSetting(int value) {
    for (int step = 0; step < kSpeedSteps; ++step)
        if (SpeedSettingValue(step) == value) return step;
    return kDefaultSpeedStep;
}

void RateMeter::Restart(RunClock::time_point now) {
    since_ = now;
    generations_ = 0;
    rate_.reset();
}

bool RateMeter::Add(int64_t generations, RunClock::time_point now) {
    generations_ += generations;
    const std::chrono::duration<double> elapsed = now - since_;
    if (elapsed < std::chrono::milliseconds(500)) return false;
    rate_ = double(generations_) / elapsed.count();
    since_ = now;
    generations_ = 0;
    return true;
}

}  // namespace cellarium

// Processes, help and the shell of the scripted back end: logged, never
// started; and its clock.
#include <algorithm>

#include "platform/headless/headless_roles.h"

namespace cellarium {

bool HeadlessProcesses::StartProcess(const std::string& program, const std::string& commandLine) {
    p_.processes_.push_back(program + " " + commandLine);
    p_.transcript_.push_back("process " + program + " " + commandLine);
    return true;
}

bool HeadlessProcesses::OpenHelp(const std::string& page, const std::string& anchor) {
    const std::string shown = anchor.empty() ? page : page + "#" + anchor;
    p_.help_.push_back(shown);
    p_.transcript_.push_back("help " + shown);
    return true;
}

void HeadlessProcesses::EndProgram() {
    if (!p_.quit_) p_.transcript_.push_back("end program");
    p_.quit_ = true;
    p_.timers_.clear();
}

void HeadlessProcesses::ShellFullScreen(CWnd&, unsigned) {
    ++p_.shellCalls_;
}

std::chrono::steady_clock::time_point HeadlessClock::Now() {
    ++p_.clockReadings_;
    if (p_.realClock_) return std::chrono::steady_clock::now();
    const std::chrono::microseconds timers = std::chrono::milliseconds(p_.now_);
    p_.lastReading_ = std::max(p_.lastReading_, timers) + p_.readingCost_;
    return std::chrono::steady_clock::time_point(p_.lastReading_);
}

}  // namespace cellarium

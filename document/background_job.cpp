#include "document/background_job.h"

#include <system_error>
#include <utility>

namespace cellarium {

BackgroundJob::~BackgroundJob() {
    Stop();
}

bool BackgroundJob::Start(Work work) {
    Stop();
    signals_ = std::make_unique<Signals>();
    Signals* state = signals_.get();
    const auto shared = std::make_shared<Work>(std::move(work));
    try {
        thread_ = std::thread([state, shared] {
            (*shared)(*state);
            state->finished.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        // The system has no thread to give: the work is done here, as it
        // was before there were jobs.
        (*shared)(*state);
        signals_.reset();
        return false;
    }
    return true;
}

bool BackgroundJob::Finished() const {
    return Busy() && signals_->finished.load(std::memory_order_acquire);
}

int64_t BackgroundJob::Progress() const {
    return signals_ ? signals_->progress.load(std::memory_order_relaxed) : 0;
}

void BackgroundJob::Collect() {
    if (thread_.joinable()) thread_.join();
    signals_.reset();
}

void BackgroundJob::Stop() {
    if (signals_) signals_->stop.store(true, std::memory_order_relaxed);
    Collect();
}

}  // namespace cellarium

// Work that runs off the window's thread: one job at a time on a thread of
// its own. The window's thread starts it with everything it needs copied in,
// reads its progress and asks it to stop through atomics, and collects it
// once it has finished. The job itself reaches nothing the window's thread
// changes, so no lock is needed anywhere.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace cellarium {

class BackgroundJob {
public:
    // What the job and the window's thread share.
    struct Signals {
        std::atomic<bool> stop{false};      // asked to stop
        std::atomic<int64_t> progress{0};   // the job's count of its work done
        std::atomic<bool> finished{false};  // the work has returned
    };
    using Work = std::function<void(Signals&)>;

    BackgroundJob() = default;
    // Stops the job and waits for it.
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Runs work on a thread of its own (a job under way is stopped first)
    // and returns true. When the system gives no thread, the work runs on
    // the calling thread instead, done when Start returns false.
    bool Start(Work work);
    // A job was started and not yet collected or stopped.
    bool Busy() const { return thread_.joinable(); }
    // A busy job whose work has returned: Collect will not wait.
    bool Finished() const;
    int64_t Progress() const;
    // Waits for the job's thread (at once when Finished) and forgets it:
    // whatever the work wrote is the window thread's from here on.
    void Collect();
    // Asks a busy job to stop and waits for it; the job decides how soon it
    // looks at the request.
    void Stop();

private:
    std::unique_ptr<Signals> signals_;
    std::thread thread_;
};

}  // namespace cellarium

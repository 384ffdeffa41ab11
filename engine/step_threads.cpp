// The step threads: a pool of workers made once, each with its own row
// buffers, that step bands of rows of one window. A band reads the source
// board only and writes its own rows of the target, so bands never wait on
// each other; their tallies are combined once all are done.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/step.h"
#include "engine/step_kernels.h"

namespace cellarium {

std::size_t g_stepThreadedCells = kThreadedCells;

namespace {

int DefaultThreads() {
    return std::max(1, int(std::thread::hardware_concurrency()));
}

void Combine(StepTally& into, const StepTally& band) {
    into.births += band.births;
    into.deaths += band.deaths;
    into.live += band.live;
    into.top = std::min(into.top, band.top);
    into.bottom = std::max(into.bottom, band.bottom);
    into.left = std::min(into.left, band.left);
    into.right = std::max(into.right, band.right);
}

class StepPool {
public:
    ~StepPool() { StopWorkers(); }

    void SetThreads(int threads) {
        std::lock_guard<std::mutex> step(stepMutex_);
        wanted_ = std::max(1, threads);
    }

    int Threads() {
        std::lock_guard<std::mutex> step(stepMutex_);
        return wanted_;
    }

    StepCounts Step(CellBoard& s, CellBoard& t, int newborn, const StepRule& rule, StepBand band) {
        std::lock_guard<std::mutex> step(stepMutex_);
        StepTally tally;
        const StepWindow win = WindowOf(s);
        if (win.Empty()) return FinishStep(s, t, tally);
        if (!Prepare()) return StepReference(s, t, newborn, rule);
        const std::size_t cells = std::size_t(win.Rows()) * std::size_t(win.Columns());
        const StepJob job{&s,
                          &t,
                          win,
                          MakeStepLookup(rule),
                          NewbornValue(newborn),
                          cells >= g_stepStreamingCells};
        const int threads = int(scratch_.size());
        if (threads == 1 || cells < g_stepThreadedCells) {
            band(job, win.firstRow, win.lastRow, *scratch_[0], tally);
            return FinishStep(s, t, tally);
        }
        const int bands = std::min(threads, win.Rows());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = &job;
            band_ = band;
            bands_ = bands;
            pending_ = bands - 1;
            ++generation_;
        }
        wake_.notify_all();
        RunBand(0);
        {
            std::unique_lock<std::mutex> lock(mutex_);
            done_.wait(lock, [this] { return pending_ == 0; });
            job_ = nullptr;
        }
        for (int b = 0; b < bands; ++b) Combine(tally, tallies_[std::size_t(b)]);
        return FinishStep(s, t, tally);
    }

private:
    // Makes the workers and their buffers for the wanted number of threads
    // when that changed since the last step. Where memory or threads run out
    // it keeps as many as it could make; false when not even the calling
    // thread's buffers could be had.
    bool Prepare() {
        if (int(scratch_.size()) == wanted_) return true;
        StopWorkers();
        try {
            while (int(scratch_.size()) > wanted_) scratch_.pop_back();
            tallies_.resize(std::size_t(wanted_));
            while (int(scratch_.size()) < wanted_)
                scratch_.push_back(std::make_unique<StepScratch>());
        } catch (const std::bad_alloc&) {
        }
        if (scratch_.empty()) return false;
        scratch_.resize(std::max<std::size_t>(1, std::min(scratch_.size(), tallies_.size())));
        stop_ = false;
        try {
            workers_.reserve(scratch_.size() - 1);
            // A worker starts from the current generation: it runs the next
            // step's band even when it first waits after that step began.
            for (std::size_t i = 1; i < scratch_.size(); ++i)
                workers_.emplace_back([this, i, from = generation_] { Work(int(i), from); });
        } catch (const std::exception&) {
            // Threads the system would not make: run with those it did.
        }
        scratch_.resize(workers_.size() + 1);
        // A later step tries again only when the wanted number changes.
        wanted_ = int(scratch_.size());
        return true;
    }

    void StopWorkers() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& w : workers_) w.join();
        workers_.clear();
    }

    void RunBand(int b) {
        const StepWindow& win = job_->win;
        const int64_t rows = win.Rows();
        const int y0 = win.firstRow + int(rows * b / bands_);
        const int y1 = win.firstRow + int(rows * (b + 1) / bands_) - 1;
        StepTally& tally = tallies_[std::size_t(b)];
        tally = StepTally{};
        band_(*job_, y0, y1, *scratch_[std::size_t(b)], tally);
    }

    void Work(int index, uint64_t seen) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_) return;
            seen = generation_;
            if (index >= bands_) continue;
            lock.unlock();
            RunBand(index);
            lock.lock();
            if (--pending_ == 0) done_.notify_one();
        }
    }

    std::mutex stepMutex_;  // one step at a time; held for the whole step
    int wanted_ = DefaultThreads();
    std::vector<std::unique_ptr<StepScratch>> scratch_;  // one per thread, the caller's first
    std::vector<StepTally> tallies_;                     // one per band
    std::vector<std::thread> workers_;                   // thread i runs band i, from 1

    // What the workers read, under mutex_ (the job itself is read-only while
    // they run).
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    uint64_t generation_ = 0;
    bool stop_ = false;
    const StepJob* job_ = nullptr;
    StepBand band_ = nullptr;
    int bands_ = 0;
    int pending_ = 0;
};

StepPool& Pool() {
    static StepPool pool;
    return pool;
}

}  // namespace

void SetStepThreads(int threads) {
    Pool().SetThreads(threads);
}

int StepThreads() {
    return Pool().Threads();
}

StepCounts StepInBands(CellBoard& s, CellBoard& t, int newborn, const StepRule& rule,
                       StepBand band) {
    return Pool().Step(s, t, newborn, rule, band);
}

}  // namespace cellarium

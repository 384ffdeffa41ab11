// The step threads: a pool of workers made once, each with its own row
// buffers, that step bands of rows of one window. A band reads the source
// board only and writes its own rows of the target, so bands never wait on
// each other; their tallies are combined once all are done.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/live_hash.h"
#include "engine/step.h"
#include "engine/step_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace cellarium {

std::size_t g_stepThreadedCells = kThreadedCells;

namespace {

int DefaultThreads() {
    return std::max(1, int(std::thread::hardware_concurrency()));
}

inline void CpuPause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

// LiveCellHash of the board outside the words the bands hashed: every row
// outside the window, and in the window's rows the words left and right of
// those holding window cells.
uint64_t OutsideWindowHash(const CellBoard& b, const StepWindow& win) {
    const int words = (b.width + 63) / 64;
    const int from = win.firstCol >> 6, to = win.lastCol >> 6;
    return LiveCellHashOf(b, 0, win.firstRow - 1, 0, words - 1) +
           LiveCellHashOf(b, win.lastRow + 1, b.height - 1, 0, words - 1) +
           LiveCellHashOf(b, win.firstRow, win.lastRow, 0, from - 1) +
           LiveCellHashOf(b, win.firstRow, win.lastRow, to + 1, words - 1);
}

void Combine(StepTally& into, const StepTally& band) {
    into.hash += band.hash;
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

    StepCounts Step(CellBoard& s, CellBoard& t, int newborn, const StepRule& rule, StepBand band,
                    uint64_t* liveHash, bool bandHashes) {
        std::lock_guard<std::mutex> step(stepMutex_);
        StepTally tally;
        const StepWindow win = WindowOf(s);
        if (win.Empty() || s.width > kStepRowCapacity || !Prepare()) {
            const StepCounts counts =
                win.Empty() ? FinishStep(s, t, tally) : StepReference(s, t, newborn, rule);
            if (liveHash != nullptr) *liveHash = LiveCellHash(t);
            return counts;
        }
        const std::size_t cells = std::size_t(win.Rows()) * std::size_t(win.Columns());
        const StepJob job{&s,
                          &t,
                          win,
                          MakeStepLookup(rule),
                          NewbornValue(newborn),
                          cells >= g_stepStreamingCells,
                          liveHash != nullptr && bandHashes};
        const int threads = int(scratch_.size());
        if (threads == 1 || cells < g_stepThreadedCells) {
            band(job, win.firstRow, win.lastRow, *scratch_[0], tally);
        } else {
            const int bands = std::min(threads, win.Rows());
            job_ = &job;
            band_ = band;
            bands_ = bands;
            // Every worker reports back, those without a band too, so none
            // is still reading this step's job when the next one is set.
            pending_.store(threads - 1, std::memory_order_relaxed);
            generation_.fetch_add(1, std::memory_order_seq_cst);
            if (sleepingWorkers_.load(std::memory_order_seq_cst) > 0) {
                // A worker past its spin is asleep or about to be: taking the
                // lock waits until it sleeps, so the wake cannot be missed.
                { std::lock_guard<std::mutex> lock(mutex_); }
                wake_.notify_all();
            }
            RunBand(0);
            WaitForBands();
            job_ = nullptr;
            for (int b = 0; b < bands; ++b) Combine(tally, tallies_[std::size_t(b)]);
        }
        const StepCounts counts = FinishStep(s, t, tally);
        if (liveHash != nullptr) {
            *liveHash = job.hash ? tally.hash + OutsideWindowHash(t, win) : LiveCellHash(t);
        }
        return counts;
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
        stop_.store(false);
        try {
            workers_.reserve(scratch_.size() - 1);
            // A worker starts from the current generation: it runs the next
            // step's band even when it first waits after that step began.
            for (std::size_t i = 1; i < scratch_.size(); ++i)
                workers_.emplace_back([this, i, from = generation_.load()] { Work(int(i), from); });
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
            stop_.store(true);
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

    // Spins (with the processor's pause) until `done` holds or kSpin has
    // passed; whether it held.
    template <class Done>
    static bool Spin(Done done) {
        const auto until = std::chrono::steady_clock::now() + kSpin;
        for (int i = 1;; ++i) {
            if (done()) return true;
            CpuPause();
            if (i % 64 == 0) {
                if (std::chrono::steady_clock::now() >= until) return done();
                // On a machine busier than its cores, let the thread being
                // waited for run.
                std::this_thread::yield();
            }
        }
    }

    // The caller, its own band done, waits for the workers' bands: spinning
    // while they are short, asleep once they take longer.
    void WaitForBands() {
        auto done = [this] { return pending_.load(std::memory_order_acquire) == 0; };
        if (Spin(done)) return;
        std::unique_lock<std::mutex> lock(mutex_);
        callerSleeping_.store(true, std::memory_order_seq_cst);
        done_.wait(lock, done);
        callerSleeping_.store(false, std::memory_order_relaxed);
    }

    void Work(int index, uint64_t seen) {
        for (;;) {
            auto woken = [&] {
                return stop_.load(std::memory_order_acquire) ||
                       generation_.load(std::memory_order_seq_cst) != seen;
            };
            if (!Spin(woken)) {
                std::unique_lock<std::mutex> lock(mutex_);
                sleepingWorkers_.fetch_add(1, std::memory_order_seq_cst);
                wake_.wait(lock, woken);
                sleepingWorkers_.fetch_sub(1, std::memory_order_relaxed);
            }
            if (stop_.load(std::memory_order_acquire)) return;
            seen = generation_.load(std::memory_order_acquire);
            if (index < bands_) RunBand(index);
            if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1 &&
                callerSleeping_.load(std::memory_order_seq_cst)) {
                { std::lock_guard<std::mutex> lock(mutex_); }
                done_.notify_one();
            }
        }
    }

    // How long a waiting thread spins before it sleeps: longer than a band of
    // a board where threads pay, far shorter than a frame of the window.
    static constexpr std::chrono::microseconds kSpin{200};

    std::mutex stepMutex_;  // one step at a time; held for the whole step
    int wanted_ = DefaultThreads();
    std::vector<std::unique_ptr<StepScratch>> scratch_;  // one per thread, the caller's first
    std::vector<StepTally> tallies_;                     // one per band
    std::vector<std::thread> workers_;                   // thread i runs band i, from 1

    // A step is handed out by publishing job_, band_ and bands_ and then
    // advancing generation_; a worker reads them after it sees the new
    // generation, and the caller clears them after pending_ reaches 0.
    // mutex_ only guards going to sleep and waking.
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::atomic<uint64_t> generation_{0};
    std::atomic<bool> stop_{false};
    std::atomic<int> sleepingWorkers_{0};
    std::atomic<bool> callerSleeping_{false};
    const StepJob* job_ = nullptr;
    StepBand band_ = nullptr;
    int bands_ = 0;
    std::atomic<int> pending_{0};
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

StepCounts StepInBands(CellBoard& s, CellBoard& t, int newborn, const StepRule& rule, StepBand band,
                       uint64_t* liveHash, bool bandHashes) {
    return Pool().Step(s, t, newborn, rule, band, liveHash, bandHashes);
}

}  // namespace cellarium

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
#include "engine/step/kernels.h"
#include "engine/system.h"

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

}  // namespace

// The workers of one StepPool and their buffers. One step at a time: a
// second caller waits for the step under way.
class StepPool::Bands {
public:
    ~Bands() { StopWorkers(); }

    StepCounts Step(CellBoard& s, CellBoard& t, int newborn, const Rule& rule, StepBand band,
                    uint64_t* liveHash, bool bandHashes, bool writesPlane, const StepBirths* births,
                    int threads) {
        std::lock_guard<std::mutex> step(stepMutex_);
        const Stepping stepping(this);
        if (!rule.IsTotalistic() && !IsTableBand(band)) {
            band = SelectedTableBand();
            bandHashes = false;
            writesPlane = false;
        }
        StepTally tally;
        const StepWindow win = WindowOf(s);
        const bool fallBack =
            !win.Empty() && (s.width > kStepRowCapacity || !Prepare(std::max(1, threads)));
        if (births == nullptr || !writesPlane || fallBack) {
            // A step that writes bytes has every byte up to date first.
            births = nullptr;
            s.CatchUpBytes();
            t.CatchUpBytes();
        }
        if (win.Empty() || fallBack) {
            // An empty window writes nothing: the target's plane stays as it was.
            const StepCounts counts = win.Empty()
                                          ? FinishStep(s, t, tally, t.PlaneIsExact(), win, 0)
                                          : StepReference(s, t, newborn, rule);
            if (liveHash != nullptr) *liveHash = LiveCellHash(t);
            return counts;
        }
        const std::size_t cells = std::size_t(win.Rows()) * std::size_t(win.Columns());
        StepJob job{&s,
                    &t,
                    win,
                    MakeStepLookup(rule),
                    &rule,
                    NewbornValue(newborn),
                    cells >= g_stepStreamingCells,
                    liveHash != nullptr && bandHashes};
        job.births = births;
        if (writesPlane) {
            // Both planes up to date here, before any band reads them.
            s.Plane();
            t.Plane();
            Rect previous;
            if (births == nullptr && s.SteppedFrom(t, previous, job.previousNewborn)) {
                job.delta = true;
                job.previous =
                    StepWindow{previous.top, previous.bottom, previous.left, previous.right};
            }
        }
        threads = int(scratch_.size());
        // (Fewer chunks than threads only where memory ran out for them.)
        if (threads == 1 || cells < g_stepThreadedCells || int(tallies_.size()) < threads) {
            band(job, win.firstRow, win.lastRow, *scratch_[0], tally);
        } else {
            const int chunks = std::min(win.Rows(), int(tallies_.size()));
            job_ = &job;
            band_ = band;
            HandOut(win.firstRow, win.lastRow, chunks);
            job_ = nullptr;
            for (int c = 0; c < chunks; ++c) Combine(tally, tallies_[std::size_t(c)]);
        }
        const StepCounts counts = FinishStep(s, t, tally, writesPlane, win, job.newborn);
        if (liveHash != nullptr) {
            *liveHash = job.hash ? tally.hash + OutsideWindowHash(t, win) : LiveCellHash(t);
        }
        return counts;
    }

    // Runs fn(context, y0, y1) over rows first..last, split as a step's
    // window is when there are `threads` and at least `cells` cells.
    void Rows(int first, int last, std::size_t cells, RowsFn fn, const void* context, int threads) {
        if (first > last) return;
        // Asked from inside a step of this pool (bytes brought up to date
        // before the step writes them): the workers are that step's.
        if (t_stepping == this) {
            fn(context, first, last);
            return;
        }
        std::lock_guard<std::mutex> step(stepMutex_);
        const Stepping stepping(this);
        if (threads <= 1 || cells < g_stepThreadedCells || !Prepare(threads) ||
            scratch_.size() == 1 || tallies_.size() < scratch_.size()) {
            fn(context, first, last);
            return;
        }
        rowsFn_ = fn;
        rowsContext_ = context;
        HandOut(first, last, std::min(last - first + 1, int(tallies_.size())));
        rowsFn_ = nullptr;
    }

private:
    // The pool whose step (or rows) the calling thread is making, if any.
    static thread_local const Bands* t_stepping;
    struct Stepping {
        explicit Stepping(const Bands* bands) : previous(t_stepping) { t_stepping = bands; }
        ~Stepping() { t_stepping = previous; }
        const Bands* previous;
    };

    // Hands rows first..last out in `chunks` chunks to every thread, the
    // caller taking part, and returns once all are done.
    void HandOut(int first, int last, int chunks) {
        const int threads = int(scratch_.size());
        firstRow_ = first;
        lastRow_ = last;
        chunks_ = chunks;
        chunksDone_.store(0, std::memory_order_relaxed);
        const uint64_t generation = generation_.load(std::memory_order_relaxed) + 1;
        // The claims first, then the new generation: a worker that sees
        // the generation finds this step's chunks to claim.
        for (int i = 0; i < threads; ++i)
            claims_[std::size_t(i)].word.store(
                ClaimWord(generation, chunks * (i + 1) / threads, chunks * i / threads),
                std::memory_order_release);
        generation_.store(generation, std::memory_order_seq_cst);
        if (sleepingWorkers_.load(std::memory_order_seq_cst) > 0) {
            // A worker past its spin is asleep or about to be: taking the
            // lock waits until it sleeps, so the wake cannot be missed.
            { std::lock_guard<std::mutex> lock(mutex_); }
            wake_.notify_all();
        }
        RunChunks(0, generation);
        WaitForChunks(chunks);
    }

    // Makes the workers and their buffers for the wanted number of threads
    // when that changed since the last step. Where memory or threads run out
    // it keeps as many as it could make; false when not even the calling
    // thread's buffers could be had.
    bool Prepare(int wanted) {
        if (wanted == asked_) return !scratch_.empty();
        asked_ = wanted;
        wanted_ = wanted;
        StopWorkers();
        try {
            while (int(scratch_.size()) > wanted_) scratch_.pop_back();
            tallies_.resize(std::size_t(std::min(wanted_ * kChunksPerThread, kMaxChunks)));
            while (int(scratch_.size()) < wanted_)
                scratch_.push_back(std::make_unique_for_overwrite<StepScratch>());
        } catch (const std::bad_alloc&) {
        }
        if (scratch_.empty()) return false;
        scratch_.resize(std::max<std::size_t>(1, scratch_.size()));
        stop_.store(false);
        try {
            workers_.reserve(scratch_.size() - 1);
            // A worker starts from the current generation: it runs the next
            // step's band even when it first waits after that step began.
            // Worker i is kept to the i-th processor, so that no two step
            // threads share one while another stands idle: the system is slow
            // to part two threads that each wait by spinning (800 x 800 on two
            // threads: ThreadedSoup800 in bench/step_benchmark). The calling thread
            // is left to the system, which moves it to a processor no worker
            // holds.
            for (std::size_t i = 1; i < scratch_.size(); ++i)
                workers_.emplace_back(
                    [this, i, n = int(scratch_.size()), from = generation_.load()] {
                        KeepThreadToProcessor(int(i), n);
                        Work(int(i), from);
                    });
        } catch (const std::exception&) {
            // Threads the system would not make: run with those it did.
        }
        scratch_.resize(workers_.size() + 1);
        claims_ = std::vector<Claims>(scratch_.size());
        // A later step tries again only when the wanted number changes.
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

    static uint64_t ClaimWord(uint64_t generation, int end, int next) {
        return (generation << 32) | (uint64_t(end) << 16) | uint64_t(next);
    }

    // Steps chunks of the step of `generation` on thread `thread`'s buffers
    // until none is left unclaimed: first its own, in order, then those
    // another thread has not come to yet. A chunk claimed keeps the step
    // from ending, so its job stays valid while it runs; a thread that comes
    // late finds the claims of a later step, or none left, and touches
    // nothing.
    void RunChunks(int thread, uint64_t generation) {
        const int threads = int(claims_.size());
        for (int k = 0; k < threads; ++k) {
            std::atomic<uint64_t>& word = claims_[std::size_t((thread + k) % threads)].word;
            uint64_t claim = word.load(std::memory_order_acquire);
            for (;;) {
                if ((claim >> 32) != (generation & 0xFFFFFFFFu)) return;
                const int end = int((claim >> 16) & 0xFFFF), next = int(claim & 0xFFFF);
                if (next >= end) break;
                if (!word.compare_exchange_weak(claim, claim + 1, std::memory_order_acq_rel,
                                                std::memory_order_acquire))
                    continue;
                const int chunks = chunks_;  // read only with a chunk of this step claimed
                RunChunk(next, *scratch_[std::size_t(thread)]);
                if (chunksDone_.fetch_add(1, std::memory_order_seq_cst) + 1 == chunks &&
                    thread != 0 && callerSleeping_.load(std::memory_order_seq_cst)) {
                    { std::lock_guard<std::mutex> lock(mutex_); }
                    done_.notify_one();
                }
                claim = word.load(std::memory_order_acquire);
            }
        }
    }

    void RunChunk(int c, StepScratch& scratch) {
        const int chunks = chunks_;
        const int64_t rows = int64_t(lastRow_) - firstRow_ + 1;
        const int y0 = firstRow_ + int(rows * c / chunks);
        const int y1 = firstRow_ + int(rows * (c + 1) / chunks) - 1;
        if (rowsFn_ != nullptr) {
            rowsFn_(rowsContext_, y0, y1);
            return;
        }
        // Counted on the stack: the tallies of chunks that other threads
        // step share cache lines.
        StepTally tally;
        band_(*job_, y0, y1, scratch, tally);
        tallies_[std::size_t(c)] = tally;
    }

    // Spins (with the processor's pause) until `done` holds or kSpin has
    // passed; whether it held. For the first kBusySpin it only spins: a
    // yield is a system call, and one under way when the step is handed out
    // would delay it by more than a small board's chunk takes.
    template <class Done>
    static bool Spin(Done done) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 1;; ++i) {
            if (done()) return true;
            CpuPause();
            if (i % 64 == 0) {
                const auto spun = std::chrono::steady_clock::now() - start;
                if (spun >= kSpin) return done();
                // On a machine busier than its cores, let the thread being
                // waited for run.
                if (spun >= kBusySpin) std::this_thread::yield();
            }
        }
    }

    // The caller, with no chunk left to claim, waits for those the workers
    // are still stepping: spinning while they are short, asleep once they
    // take longer.
    void WaitForChunks(int chunks) {
        auto done = [this, chunks] {
            return chunksDone_.load(std::memory_order_seq_cst) == chunks;
        };
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
            RunChunks(index, seen);
        }
    }

    // How long a waiting thread spins before it sleeps: longer than a band of
    // a board where threads pay, far shorter than a frame of the window.
    static constexpr std::chrono::microseconds kSpin{200};
    static constexpr std::chrono::microseconds kBusySpin{20};

    std::mutex stepMutex_;  // one step at a time; held for the whole step
    int asked_ = 0;         // the threads the last step asked for
    int wanted_ = 1;
    std::vector<std::unique_ptr<StepScratch>> scratch_;  // one per thread, the caller's first
    std::vector<StepTally> tallies_;                     // one per chunk
    std::vector<std::thread> workers_;                   // threads 1.., the caller is 0

    // A step is handed out by publishing job_ and band_, then the claims,
    // then advancing generation_. The window is cut into chunks of rows,
    // several per thread, which the caller and the workers claim one at a
    // time: a worker that wakes late, or a core taken by another program,
    // leaves its share to the threads that are running instead of holding
    // the step up. The caller clears job_ once every chunk is done. mutex_
    // only guards going to sleep and waking.
    static constexpr int kChunksPerThread = 2;
    static constexpr int kMaxChunks = 0xFFFF;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    // On lines of their own: the workers wait on the generation, claims and
    // completions pass between the threads.
    alignas(64) std::atomic<uint64_t> generation_{0};
    // Each thread's share of the chunks, on a line of its own: the step's
    // generation (low 32 bits), the end of the share and the next chunk to
    // claim, in one word so a claim is one exchange. A thread keeps the rows
    // of its share from step to step, so their cells stay in its own caches.
    struct alignas(64) Claims {
        std::atomic<uint64_t> word{0};
    };
    std::vector<Claims> claims_;
    int chunks_ = 0;
    alignas(64) std::atomic<int> chunksDone_{0};
    alignas(64) std::atomic<bool> stop_{false};
    std::atomic<int> sleepingWorkers_{0};
    std::atomic<bool> callerSleeping_{false};
    int firstRow_ = 0, lastRow_ = -1;  // the rows handed out
    // What the chunks run: a step's band, or rows of some other work.
    const StepJob* job_ = nullptr;
    StepBand band_ = nullptr;
    RowsFn rowsFn_ = nullptr;
    const void* rowsContext_ = nullptr;
};

thread_local const StepPool::Bands* StepPool::Bands::t_stepping = nullptr;

namespace {

std::atomic<int> g_programThreads{DefaultThreads()};

// The pool of the innermost StepPoolScope of this thread.
thread_local StepPool* t_scopePool = nullptr;

StepPool& ProgramPool() {
    static StepPool pool;
    return pool;
}

// The pool of the calling thread's steps.
StepPool& CurrentPool() {
    return t_scopePool != nullptr ? *t_scopePool : ProgramPool();
}

}  // namespace

StepPool::StepPool(int threads) : bands_(std::make_unique<Bands>()) {
    SetThreads(threads);
}

StepPool::~StepPool() = default;

void StepPool::SetThreads(int threads) {
    threads_.store(std::max(0, threads), std::memory_order_relaxed);
}

int StepPool::Threads() const {
    const int own = threads_.load(std::memory_order_relaxed);
    return own > 0 ? own : StepThreads();
}

StepPoolScope::StepPoolScope(StepPool& pool) : previous_(t_scopePool) {
    t_scopePool = &pool;
}

StepPoolScope::~StepPoolScope() {
    t_scopePool = previous_;
}

void SetStepThreads(int threads) {
    g_programThreads.store(std::max(1, threads), std::memory_order_relaxed);
}

int StepThreads() {
    return g_programThreads.load(std::memory_order_relaxed);
}

StepCounts StepInBands(CellBoard& s, CellBoard& t, int newborn, const Rule& rule, StepBand band,
                       uint64_t* liveHash, bool bandHashes, bool writesPlane,
                       const StepBirths* births) {
    StepPool& pool = CurrentPool();
    return pool.Workers().Step(s, t, newborn, rule, band, liveHash, bandHashes, writesPlane, births,
                               pool.Threads());
}

void RowsOnStepThreads(int first, int last, std::size_t cells, RowsFn fn, const void* context) {
    StepPool& pool = CurrentPool();
    pool.Workers().Rows(first, last, cells, fn, context, pool.Threads());
}

}  // namespace cellarium

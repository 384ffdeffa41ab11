#include "engine/birth_log.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "engine/step/kernels.h"
#include "engine/system.h"

namespace cellarium {
namespace {

// From here AllocateBlock aligns to huge pages.
constexpr std::size_t kLargeBlock = std::size_t(512) << 10;

// Rows 64-byte aligned for the kernels' stores; a large block as the boards
// have theirs.
uint64_t* AllocatePlanes(std::size_t bytes) {
    void* p = nullptr;
    if (bytes >= kLargeBlock)
        p = AllocateBlock(bytes, false);
    else if (posix_memalign(&p, 64, bytes) != 0)
        p = nullptr;
    return static_cast<uint64_t*>(p);
}

// Bits first..last (0..63) of a word.
uint64_t BitsFromTo(int first, int last) {
    return (~uint64_t(0) >> (63 - (last - first))) << first;
}

// The columns first..last of word k.
uint64_t ColumnsOfWord(int k, int first, int last) {
    const int lo = 64 * k, hi = lo + 63;
    if (first > hi || last < lo) return 0;
    return BitsFromTo(std::max(first, lo) - lo, std::min(last, hi) - lo);
}

struct PortableBytes {
    static void Fill(uint8_t* out, uint64_t mask, uint8_t value) {
        if (mask == ~uint64_t(0)) {
            std::memset(out, value, 64);
            return;
        }
        for (; mask != 0; mask &= mask - 1) out[__builtin_ctzll(mask)] = value;
    }
    static void Copy(uint8_t* out, const uint8_t* from, uint64_t mask) {
        for (; mask != 0; mask &= mask - 1) {
            const int b = __builtin_ctzll(mask);
            out[b] = from[b];
        }
    }
};

#if defined(__x86_64__) || defined(__i386__)
#define CELLARIUM_LOG_AVX512 __attribute__((target("avx512f,avx512bw"), always_inline)) inline
// Masked stores touch only the bytes of the mask, and never fault past them.
struct Avx512Bytes {
    CELLARIUM_LOG_AVX512 static void Fill(uint8_t* out, uint64_t mask, uint8_t value) {
        _mm512_mask_storeu_epi8(out, mask, _mm512_set1_epi8(char(value)));
    }
    CELLARIUM_LOG_AVX512 static void Copy(uint8_t* out, const uint8_t* from, uint64_t mask) {
        _mm512_mask_storeu_epi8(out, mask, _mm512_maskz_loadu_epi8(mask, from));
    }
};
#endif

// What a catch-up of one board needs.
struct CatchUpJob {
    uint8_t* out;         // the board's bytes
    const uint8_t* base;  // the base's bytes (the same when the board is the base)
    const uint64_t* plane;
    int width, stride;
    int firstCol, lastCol;  // the columns to bring up to date
    StepBirths layout;      // of the steps' planes (see BirthLog::Reserve)
};

struct ActiveEntry {
    const uint64_t* births;  // the entry's plane
    int firstRow, lastRow, firstWord, lastWord;
    uint8_t newborn;
};

// A group of the entries: its plane (the cells born in any of its steps)
// and its entries, the latest first.
struct ActiveGroup {
    const uint64_t* born;
    const ActiveEntry* entries;
    std::size_t count;
};

// One row: every cell of the columns takes its byte from the plane (dead:
// 0), the last logged birth (its newborn value), or else the base. `groups`
// holds the groups of the entries, the latest first; a group none of whose
// steps gave birth to a cell still to be placed is passed over whole.
// Written once for each way of storing bytes, each compiled for its own
// instructions.
#define CELLARIUM_CATCH_UP_ROW(NAME, BYTES, ATTRIBUTES)                                       \
    ATTRIBUTES void NAME(const CatchUpJob& job, int y, const ActiveGroup* groups,             \
                         std::size_t count) {                                                 \
        const std::size_t at = std::size_t(y) * std::size_t(job.width);                       \
        uint8_t* out = job.out + at;                                                          \
        const uint8_t* base = job.base + at;                                                  \
        const uint64_t* plane = job.plane + std::size_t(y) * std::size_t(job.stride);         \
        const std::size_t bornAt = job.layout.RowAt(y);                                       \
        const std::size_t groupAt = std::size_t(y) * std::size_t(job.stride);                 \
        const bool inPlace = job.out == job.base;                                             \
        for (int k = job.firstCol >> 6; k <= job.lastCol >> 6; ++k) {                         \
            const uint64_t columns = ColumnsOfWord(k, job.firstCol, job.lastCol);             \
            const uint64_t alive = plane[k] & columns;                                        \
            uint64_t left = alive;                                                            \
            for (std::size_t g = 0; g < count && left != 0; ++g) {                            \
                if ((groups[g].born[groupAt + k] & left) == 0) continue;                      \
                for (std::size_t i = 0; i < groups[g].count && left != 0; ++i) {              \
                    const ActiveEntry& e = groups[g].entries[i];                              \
                    if (y < e.firstRow || y > e.lastRow || k < e.firstWord || k > e.lastWord) \
                        continue;                                                             \
                    const uint64_t born = e.births[bornAt + k] & left;                        \
                    if (born == 0) continue;                                                  \
                    BYTES::Fill(out + 64 * k, born, e.newborn);                               \
                    left &= ~born;                                                            \
                }                                                                             \
            }                                                                                 \
            if (!inPlace) BYTES::Copy(out + 64 * k, base + 64 * k, left);                     \
            const uint64_t dead = columns & ~alive;                                           \
            if (dead != 0) BYTES::Fill(out + 64 * k, dead, 0);                                \
        }                                                                                     \
    }

CELLARIUM_CATCH_UP_ROW(CatchUpRowPortable, PortableBytes, )
#if defined(__x86_64__) || defined(__i386__)
CELLARIUM_CATCH_UP_ROW(CatchUpRowAvx512, Avx512Bytes, __attribute__((target("avx512f,avx512bw"))))
#endif

#if defined(__x86_64__) || defined(__i386__)
#define CELLARIUM_LOG_AVX2 __attribute__((target("avx2"), always_inline)) inline

// The bytes of 32 mask bits: 0xFF where the bit is set.
CELLARIUM_LOG_AVX2 __m256i ExpandBits(uint32_t bits) {
    const __m256i spread =
        _mm256_shuffle_epi8(_mm256_set1_epi32(int(bits)),
                            _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2,
                                             2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
    const __m256i bit = _mm256_set1_epi64x(int64_t(0x8040201008040201));
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
}

// Without masked stores: a word whose 64 bytes lie inside the row is worked
// out whole in two vectors (the bytes outside the columns rewritten as they
// are); the row's last, partial word goes as the portable row does it.
__attribute__((target("avx2"))) void CatchUpRowAvx2(const CatchUpJob& job, int y,
                                                    const ActiveGroup* groups, std::size_t count) {
    const std::size_t at = std::size_t(y) * std::size_t(job.width);
    uint8_t* out = job.out + at;
    const uint8_t* base = job.base + at;
    const uint64_t* plane = job.plane + std::size_t(y) * std::size_t(job.stride);
    const std::size_t bornAt = job.layout.RowAt(y);
    const std::size_t groupAt = std::size_t(y) * std::size_t(job.stride);
    for (int k = job.firstCol >> 6; k <= job.lastCol >> 6; ++k) {
        const uint64_t columns = ColumnsOfWord(k, job.firstCol, job.lastCol);
        const uint64_t alive = plane[k] & columns;
        if (64 * k + 64 > job.width) {
            CatchUpJob tail = job;
            tail.firstCol = std::max(job.firstCol, 64 * k);
            CatchUpRowPortable(tail, y, groups, count);
            break;
        }
        uint8_t* o = out + 64 * k;
        __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + 64 * k));
        __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + 64 * k + 32));
        uint64_t left = alive;
        for (std::size_t g = 0; g < count && left != 0; ++g) {
            if ((groups[g].born[groupAt + k] & left) == 0) continue;
            for (std::size_t i = 0; i < groups[g].count && left != 0; ++i) {
                const ActiveEntry& e = groups[g].entries[i];
                if (y < e.firstRow || y > e.lastRow || k < e.firstWord || k > e.lastWord) continue;
                const uint64_t born = e.births[bornAt + k] & left;
                if (born == 0) continue;
                const __m256i value = _mm256_set1_epi8(char(e.newborn));
                lo = _mm256_blendv_epi8(lo, value, ExpandBits(uint32_t(born)));
                hi = _mm256_blendv_epi8(hi, value, ExpandBits(uint32_t(born >> 32)));
                left &= ~born;
            }
        }
        lo = _mm256_and_si256(lo, ExpandBits(uint32_t(alive)));
        hi = _mm256_and_si256(hi, ExpandBits(uint32_t(alive >> 32)));
        if (columns != ~uint64_t(0)) {
            lo = _mm256_blendv_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(o)), lo,
                                    ExpandBits(uint32_t(columns)));
            hi = _mm256_blendv_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(o + 32)),
                                    hi, ExpandBits(uint32_t(columns >> 32)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), lo);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32), hi);
    }
}
#endif

using CatchUpRowFn = void (*)(const CatchUpJob&, int, const ActiveGroup*, std::size_t);

CatchUpRowFn SelectedCatchUpRow() {
#if defined(__x86_64__) || defined(__i386__)
    static const CatchUpRowFn chosen = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"))
            return CatchUpRowFn(&CatchUpRowAvx512);
        if (__builtin_cpu_supports("avx2")) return CatchUpRowFn(&CatchUpRowAvx2);
        return CatchUpRowFn(&CatchUpRowPortable);
    }();
    return chosen;
#else
    return &CatchUpRowPortable;
#endif
}

}  // namespace

void BirthLog::FreePlane::operator()(uint64_t* p) const {
    std::free(p);
}

BirthLog::BirthLog(std::size_t budgetBytes, StepBand band)
    : budget_(budgetBytes),
      band_(band != nullptr ? band : SelectedPlanesBand()),
      portable_(band_ == PlanesBand64()) {}

BirthLog::~BirthLog() {
    CatchUp();
}

bool BirthLog::CanStep(const CellBoard& source, const CellBoard& target, const Rule& rule) const {
    return rule.IsTotalistic() && band_ != nullptr && &source != &target &&
           source.width == target.width && source.height == target.height &&
           source.width <= kStepRowCapacity && source.HasCells() && target.HasCells();
}

// A live interior cell of the target outside the window of the first step
// would stay in the target untouched, then be read by a later step whose
// window grew over it: a cell that lives on from it keeps its own byte,
// which the base does not have. Such a target is stepped the ordinary way.
bool BirthLog::TargetIsClear(const CellBoard& source, const CellBoard& target) {
    const StepWindow win = WindowOf(source);
    const int stride = target.PlaneStride();
    const int lastWord = (target.width - 2) >> 6;
    for (int y = 1; y <= target.height - 2; ++y) {
        const uint64_t* row = target.PlaneRow(y);
        const bool inRows = !win.Empty() && y >= win.firstRow && y <= win.lastRow;
        for (int k = 0; k <= lastWord && k < stride; ++k) {
            uint64_t outside = ColumnsOfWord(k, 1, target.width - 2);
            if (inRows) outside &= ~ColumnsOfWord(k, win.firstCol, win.lastCol);
            if ((row[k] & outside) != 0) return false;
        }
    }
    return true;
}

std::size_t BirthLog::StepsFor(const CellBoard& board) const {
    const std::size_t stepBytes =
        std::size_t(board.PlaneStride()) * std::size_t(board.height) * sizeof(uint64_t);
    // A group's plane for every kGroupSteps steps' planes.
    return std::clamp<std::size_t>(budget_ / stepBytes * kGroupSteps / (kGroupSteps + 1), 2,
                                   kMostSteps);
}

bool BirthLog::Ready(const CellBoard& board) const {
    return block_ && groups_ && std::size_t(board.PlaneStride()) == stride_ &&
           std::size_t(board.height) == rows_ && StepsFor(board) == slots_;
}

// One block for all the steps' planes, in tiles of about a page of rows:
// the rows of one tile for every step side by side, row y of step j at
// block + ((y / T * slots + j) * T + y % T) * stride for T rows a tile. A
// step writes whole pages rather than a row on every page, and bringing a
// row up to date finds every step's row of it within the one tile's stretch.
// And one block for the planes of the groups of kGroupSteps steps, group
// i's (rows stride apart) the cells born in steps i * kGroupSteps and on.
bool BirthLog::Reserve(const CellBoard& board) {
    if (Ready(board)) return true;
    const std::size_t stride = std::size_t(board.PlaneStride());
    const std::size_t rows = std::size_t(board.height);
    const std::size_t stepBytes = stride * rows * sizeof(uint64_t);
    const std::size_t slots = StepsFor(board);
    const std::size_t groups = (slots + kGroupSteps - 1) / kGroupSteps;
    const std::size_t tileRows = std::max<std::size_t>(1, 4096 / (stride * sizeof(uint64_t)));
    const std::size_t tiles = (rows + tileRows - 1) / tileRows;
    block_.reset();
    groups_.reset();
    slots_ = 0;
    block_.reset(AllocatePlanes(tiles * tileRows * stride * sizeof(uint64_t) * slots));
    if (block_) groups_.reset(AllocatePlanes(stepBytes * groups));
    if (!block_ || !groups_) {
        block_.reset();
        groups_.reset();
        return false;
    }
    stride_ = stride;
    rows_ = rows;
    tileRows_ = tileRows;
    slots_ = slots;
    return true;
}

void BirthLog::Trim() {
    if (!Holding()) {
        block_.reset();
        groups_.reset();
        slots_ = 0;
    }
}

StepCounts BirthLog::Step(CellBoard& source, CellBoard& target, int newborn, const Rule& rule,
                          uint64_t* liveHash) {
    if (Holding()) {
        CellBoard* last = entries_.empty() || entries_.back().intoBase ? base_ : other_;
        CellBoard* next = last == base_ ? other_ : base_;
        if (&source != last || &target != next || entries_.size() >= slots_) CatchUp();
    }
    if (!Holding()) {
        // Both planes exact before the boards are held: making one again
        // reads the bytes.
        source.Plane();
        target.Plane();
        if (TargetIsClear(source, target) && Reserve(source)) {
            std::memset(groups_.get(), 0, Groups() * stride_ * rows_ * sizeof(uint64_t));
            base_ = &source;
            other_ = &target;
            source.HoldBytesBehind(this);
            target.HoldBytesBehind(this);
        }
    }
    if (!Holding()) {
        const StepKernel kernel =
            liveHash != nullptr ? SelectedStepHashKernel() : SelectedStepKernel();
        return kernel(source, target, newborn, rule, liveHash);
    }
    const StepWindow win = WindowOf(source);
    const StepBirths kept = Layout(entries_.size());
    const StepCounts counts =
        StepInBands(source, target, newborn, rule, band_, liveHash, true, true, &kept);
    // A step that could not go on the planes caught the boards up first.
    if (!Holding()) return counts;
    Entry e{kept.born,    win.firstRow, win.lastRow,           win.firstCol >> 6, win.lastCol >> 6,
            win.firstCol, win.lastCol,  NewbornValue(newborn), &target == base_};
    if (win.Empty()) e.firstRow = 1, e.lastRow = 0;
    entries_.push_back(e);
    return counts;
}

void BirthLog::CatchUpBoard(CellBoard& board, bool isBase, std::size_t lastEntry) {
    // The rows and columns the steps into this board wrote.
    int top = INT32_MAX, bottom = INT32_MIN, left = INT32_MAX, right = INT32_MIN;
    for (std::size_t j = 0; j <= lastEntry; ++j) {
        const Entry& e = entries_[j];
        if (e.intoBase != isBase || e.firstRow > e.lastRow) continue;
        top = std::min(top, e.firstRow);
        bottom = std::max(bottom, e.lastRow);
        left = std::min(left, e.firstCol);
        right = std::max(right, e.lastCol);
    }
    if (top > bottom) return;
    const CatchUpJob job{board.StepCells(),
                         base_->StepCells(),
                         board.Plane(),
                         board.width,
                         board.PlaneStride(),
                         left,
                         right,
                         Layout(0)};
    const CatchUpRowFn row = portable_ ? &CatchUpRowPortable : SelectedCatchUpRow();
    // The entries the latest first, in their groups.
    std::vector<ActiveEntry> active;
    std::vector<ActiveGroup> groups;
    active.reserve(lastEntry + 1);
    groups.reserve(lastEntry / kGroupSteps + 1);
    for (std::size_t j = lastEntry + 1; j-- > 0;) {
        const Entry& e = entries_[j];
        if (e.firstRow > e.lastRow) continue;
        const uint64_t* plane = Layout(j).group;
        if (groups.empty() || groups.back().born != plane)
            groups.push_back(ActiveGroup{plane, nullptr, active.size()});  // its first, for now
        active.push_back(
            ActiveEntry{e.births, e.firstRow, e.lastRow, e.firstWord, e.lastWord, e.newborn});
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const std::size_t from = groups[g].count;
        const std::size_t to = g + 1 < groups.size() ? groups[g + 1].count : active.size();
        groups[g].entries = active.data() + from;
        groups[g].count = to - from;
    }
    // Rows apart on the step threads: each writes only its own row's bytes.
    struct Rows {
        const CatchUpJob& job;
        CatchUpRowFn row;
        const std::vector<ActiveGroup>& groups;
    } rows{job, row, groups};
    const std::size_t cells = std::size_t(bottom - top + 1) * std::size_t(right - left + 1);
    RowsOnStepThreads(
        top, bottom, cells,
        [](const void* context, int y0, int y1) {
            const Rows& r = *static_cast<const Rows*>(context);
            for (int y = y0; y <= y1; ++y) r.row(r.job, y, r.groups.data(), r.groups.size());
        },
        &rows);
}

std::size_t BirthLog::Groups() const {
    return (slots_ + kGroupSteps - 1) / kGroupSteps;
}

StepBirths BirthLog::Layout(std::size_t entry) const {
    return StepBirths{block_.get() + entry * tileRows_ * stride_, stride_, int(tileRows_),
                      slots_ * tileRows_ * stride_,
                      groups_.get() + entry / kGroupSteps * stride_ * rows_};
}

void BirthLog::CatchUp() {
    if (base_ == nullptr) return;
    base_->HoldBytesBehind(nullptr);
    other_->HoldBytesBehind(nullptr);
    std::size_t lastBase = SIZE_MAX, lastOther = SIZE_MAX;
    for (std::size_t j = 0; j < entries_.size(); ++j)
        (entries_[j].intoBase ? lastBase : lastOther) = j;
    // The other board first: it reads the base's bytes as they were.
    if (lastOther != SIZE_MAX) CatchUpBoard(*other_, false, lastOther);
    if (lastBase != SIZE_MAX) CatchUpBoard(*base_, true, lastBase);
    entries_.clear();
    base_ = other_ = nullptr;
}

}  // namespace cellarium

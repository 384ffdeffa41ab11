#include "engine/run_history.h"

#include <algorithm>
#include <cstring>

#include "engine/cell_board.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cellarium {
namespace {

// Bit b set iff byte b of the 64 at p is nonzero.
inline uint64_t LiveBits64(const uint8_t* p) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    uint64_t dead = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        dead |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)))) << (16 * i);
    }
    return ~dead;
#else
    uint64_t bits = 0;
    for (int b = 0; b < 64; ++b) bits |= uint64_t(p[b] != 0) << b;
    return bits;
#endif
}

void Unpack(const LiveCells& live, CellBoard& board) {
    const std::size_t rowWords = live.RowWords();
    for (int y = 0; y < board.height; ++y) {
        const uint64_t* words = live.words.data() + std::size_t(y) * rowWords;
        uint8_t* row = board.EditAt(0, y);
        for (int x = 0; x < board.width; ++x) row[x] = uint8_t((words[x / 64] >> (x % 64)) & 1u);
    }
    board.ScanBounds();
}

}  // namespace

void PackLiveCells(const CellBoard& board, LiveCells& out) {
    out.width = board.width;
    out.height = board.height;
    const std::size_t rowWords = out.RowWords();
    out.words.resize(rowWords * std::size_t(board.height));
    const std::size_t full = std::size_t(board.width) / 64;
    const std::size_t tail = std::size_t(board.width) % 64;
    uint64_t* w = out.words.data();
    if (board.PlaneIsExact() && board.CellCount() != 0) {
        // The board's plane already holds these bits, row for row.
        for (int y = 0; y < board.height; ++y, w += rowWords)
            std::memcpy(w, board.PlaneRow(y), rowWords * sizeof(uint64_t));
        return;
    }
    for (int y = 0; y < board.height; ++y, w += rowWords) {
        const uint8_t* row = board.Cells() + std::size_t(y) * std::size_t(board.width);
        for (std::size_t k = 0; k < full; ++k) w[k] = LiveBits64(row + 64 * k);
        if (tail != 0) {
            uint64_t bits = 0;
            for (std::size_t b = 0; b < tail; ++b) bits |= uint64_t(row[64 * full + b] != 0) << b;
            w[full] = bits;
        }
    }
}

RunHistory::RunHistory(const Rule& rule, std::size_t budgetBytes)
    : rule_(rule), budget_(budgetBytes) {}

RunHistory::~RunHistory() = default;

void RunHistory::Add(const CellBoard& board) {
    if (maxSnapshots_ == 0) {
        const std::size_t bytes = std::max<std::size_t>(
            1, (std::size_t(board.width) + 63) / 64 * 8 * std::size_t(board.height));
        maxSnapshots_ = std::clamp<std::size_t>(budget_ / bytes, 2, 64);
    }
    if (count_ % interval_ == 0) {
        if (snapshots_.size() == maxSnapshots_) {
            // Full: keep every other one and take them half as often.
            // The dropped ones' words are kept for the snapshots to come,
            // so a long run packs into memory it already has.
            auto dropped = [this](const Snapshot& s) {
                return s.generation % (2 * interval_) != 0;
            };
            for (Snapshot& s : snapshots_)
                if (dropped(s)) spare_.push_back(std::move(s.cells.words));
            std::erase_if(snapshots_, dropped);
            interval_ *= 2;
        }
        if (count_ % interval_ == 0) {
            snapshots_.push_back(Snapshot{count_, {}});
            if (!spare_.empty()) {
                snapshots_.back().cells.words = std::move(spare_.back());
                spare_.pop_back();
            }
            PackLiveCells(board, snapshots_.back().cells);
        }
    }
    ++count_;
}

bool RunHistory::LiveCellsAt(int64_t g, LiveCells& out) {
    auto after = std::upper_bound(snapshots_.begin(), snapshots_.end(), g,
                                  [](int64_t v, const Snapshot& s) { return v < s.generation; });
    const Snapshot& from = *(after - 1);  // generation 0 is always kept
    if (from.generation == g) {
        out = from.cells;
        return true;
    }
    for (std::unique_ptr<CellBoard>& b : replay_)
        // Without the program's palette, which belongs to the window's
        // thread: a history may be kept on another (Identify's).
        if (!b) b = CellBoard::CreateDetached(from.cells.width, from.cells.height, {});
    if (!replay_[0] || !replay_[1]) return false;
    // The replay boards go on from where the last call left them when that
    // is on the way; otherwise they start again from the snapshot.
    if (replayed_ < from.generation || replayed_ > g) {
        Unpack(from.cells, *replay_[0]);
        // Every cell of the other board that the steps do not write must
        // match: the border always, and what lies outside the windows.
        std::memcpy(replay_[1]->EditCells(), replay_[0]->Cells(), replay_[0]->CellCount());
        replay_[1]->bounds = replay_[0]->bounds;
        replayed_ = from.generation;
    }
    const StepKernel kernel = SelectedStepKernel();
    const Rule& rule = rule_;
    for (; replayed_ < g; ++replayed_) {
        kernel(*replay_[0], *replay_[1], 1, rule, nullptr);
        std::swap(replay_[0], replay_[1]);
    }
    CellBoard* source = replay_[0].get();
    PackLiveCells(*source, out);
    return true;
}

}  // namespace cellarium

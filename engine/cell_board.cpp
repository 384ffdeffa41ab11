#include "engine/cell_board.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/live_hash.h"
#include "engine/step.h"
#include "engine/system.h"

namespace cellarium {
BoardSize ReadBoardSize(SettingsSource& settings) {
    BoardSize size;
    size.width = std::clamp(settings.GetProfileInt("Size", "Width", kDefaultBoardSide),
                            kMinBoardSide, kMaxBoardSide);
    size.height = std::clamp(settings.GetProfileInt("Size", "Height", kDefaultBoardSide),
                             kMinBoardSide, kMaxBoardSide);
    return size;
}

namespace {

std::atomic<uint64_t> g_boardSerials{0};

// Zeroed memory for a plane, 64-byte aligned.
uint64_t* AllocatePlane(std::size_t bytes) {
    constexpr std::size_t kLarge = std::size_t(512) << 10;
    if (bytes >= kLarge) return static_cast<uint64_t*>(AllocateBlock(bytes, true));
    const std::size_t rounded = (bytes + 63) / 64 * 64;
    void* p = std::aligned_alloc(64, rounded);
    if (p != nullptr) std::memset(p, 0, rounded);
    return static_cast<uint64_t*>(p);
}

}  // namespace

CellBoard::CellBoard(int w, int h)
    : width(w), height(h), planeStride_((w + 511) / 512 * 8), serial_(++g_boardSerials) {
    ResetBounds();
}

CellBoard::~CellBoard() {
    ReleaseCellBitmap();
}

uint8_t* AllocateCells(std::size_t count, bool zeroed) {
    return static_cast<uint8_t*>(AllocateBlock(count, zeroed));
}

std::unique_ptr<CellBoard> CellBoard::Create(SettingsSource& settings) {
    BoardSize size = ReadBoardSize(settings);
    return Create(size.width, size.height);
}

std::unique_ptr<CellBoard> CellBoard::Create(int width, int height) {
    const PaletteBlock* palette = CurrentPalette();
    return CreateDetached(
        width, height,
        palette != nullptr ? palette->entries : FixedPalette(PaletteId::Rainbow).entries);
}

std::unique_ptr<CellBoard> CellBoard::CreateDetached(
    int width, int height, const std::array<ColourEntry, kPaletteEntries>& colours) {
    // Smaller boards have no interior to speak of; the callers keep sizes in
    // kMinBoardSide..kMaxBoardSide, tests use small ones.
    if (width < 3 || height < 3 || width > kMaxBoardSide * 4 || height > kMaxBoardSide * 4)
        return nullptr;
    std::unique_ptr<CellBoard> board(new (std::nothrow) CellBoard(width, height));
    if (!board) return nullptr;
    board->colours = colours;
    board->cells_ = AllocateCells(board->CellCount(), true);
    board->plane_ =
        AllocatePlane(std::size_t(board->planeStride_) * sizeof(uint64_t) * std::size_t(height));
    if (board->cells_ == nullptr || board->plane_ == nullptr) return nullptr;
    return board;
}

void CellBoard::ReleaseCellBitmap() {
    CatchUpBytes();
    std::free(cells_);
    std::free(plane_);
    cells_ = nullptr;
    plane_ = nullptr;
    planeExact_ = true;
    ++edits_;
}

void CellBoard::PlaneRowFromBytes(int y) const {
    const uint8_t* row = cells_ + std::size_t(y) * std::size_t(width);
    uint64_t* words = plane_ + std::size_t(y) * std::size_t(planeStride_);
    int k = 0;
    for (int x = 0; x < width; x += 64, ++k) words[k] = LiveBits(row + x, std::min(64, width - x));
    for (; k < planeStride_; ++k) words[k] = 0;
}

void CellBoard::RebuildPlane() const {
    if (plane_ == nullptr) return;
    for (int y = 0; y < height; ++y) PlaneRowFromBytes(y);
    planeExact_ = true;
}

void CellBoard::WriteRow(int x, int y, const uint8_t* values, int count) {
    if (count <= 0) return;
    CatchUpBytes();
    ++edits_;
    std::memcpy(cells_ + std::size_t(y) * std::size_t(width) + std::size_t(x), values,
                std::size_t(count));
    if (planeExact_) PlaneRowFromBytes(y);
}

void CellBoard::FillRect(const Rect& area, uint8_t value) {
    if (area.left > area.right || area.top > area.bottom) return;
    CatchUpBytes();
    ++edits_;
    for (int y = area.top; y <= area.bottom; ++y) {
        std::memset(cells_ + std::size_t(y) * std::size_t(width) + std::size_t(area.left), value,
                    std::size_t(area.right - area.left + 1));
        if (planeExact_) PlaneRowFromBytes(y);
    }
}

void CellBoard::CopyCellsFrom(const CellBoard& other) {
    CatchUpBytes();
    other.CatchUpBytes();
    ++edits_;
    std::memcpy(cells_, other.cells_, CellCount());
    planeExact_ = other.planeExact_;
    if (planeExact_)
        std::memcpy(plane_, other.plane_,
                    std::size_t(planeStride_) * sizeof(uint64_t) * std::size_t(height));
}

void CellBoard::CopyRectFrom(const CellBoard& other, const Rect& area) {
    if (area.left > area.right || area.top > area.bottom) return;
    CatchUpBytes();
    other.CatchUpBytes();
    ++edits_;
    for (int y = area.top; y <= area.bottom; ++y) {
        const std::size_t at = std::size_t(y) * std::size_t(width) + std::size_t(area.left);
        std::memcpy(cells_ + at, other.cells_ + at, std::size_t(area.right - area.left + 1));
        if (planeExact_) PlaneRowFromBytes(y);
    }
}

uint8_t* CellBoard::ExchangeCells(uint8_t* fresh) {
    CatchUpBytes();
    ++edits_;
    planeExact_ = false;
    uint8_t* old = cells_;
    cells_ = fresh;
    return old;
}

void CellBoard::Clear() {
    CatchUpBytes();
    ++edits_;
    std::memset(cells_, 0, CellCount());
    if (plane_ != nullptr)
        std::memset(plane_, 0, std::size_t(planeStride_) * sizeof(uint64_t) * std::size_t(height));
    planeExact_ = true;
}

void CellBoard::MakeEmpty() {
    Clear();
    ResetBounds();
    liveCount = 0;
}

void CellBoard::ResetBounds() {
    bounds = EmptyBox();
}

void CellBoard::SetWholeBounds() {
    bounds = WholeBox();
}

void CellBoard::IncludeCell(Point p) {
    if (p.y < bounds.top) bounds.top = p.y;
    if (p.y > bounds.bottom) bounds.bottom = p.y;
    if (p.x < bounds.left) bounds.left = p.x;
    if (p.x > bounds.right) bounds.right = p.x;
}

Rect LiveCellBox(const CellBoard& board) {
    Rect box{board.width, board.height, -1, -1};
    for (int y = 0; y < board.height; ++y) {
        const uint8_t* row = board.Row(y);
        for (int x = 0; x < board.width; ++x) {
            if (row[x] == 0) continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    }
    return box.left > box.right ? board.EmptyBox() : box;
}

Rect CellBoard::ScanBounds() {
    ResetBounds();
    const Rect box = LiveCellBox(*this);
    if (box.left <= box.right) {
        IncludeCell(Point{box.left, box.top});
        IncludeCell(Point{box.right, box.bottom});
    }
    return bounds;
}

CellBoard& CellBoard::ComputeNext(CellBoard& target, const Rule& rule, int newborn, int32_t& births,
                                  int32_t& deaths) {
    static const StepKernel kernel = SelectedStepKernel();
    StepCounts counts = kernel(*this, target, newborn, rule, nullptr);
    births = counts.births;
    deaths = counts.deaths;
    return target;
}

CellBoard& CellBoard::ComputeNext(CellBoard& target, const Rule& rule, int newborn, int32_t& births,
                                  int32_t& deaths, uint64_t* liveHash) {
    static const StepKernel kernel = SelectedStepHashKernel();
    StepCounts counts = kernel(*this, target, newborn, rule, liveHash);
    births = counts.births;
    deaths = counts.deaths;
    return target;
}

}  // namespace cellarium

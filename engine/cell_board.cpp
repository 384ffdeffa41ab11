#include "engine/cell_board.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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

CellBoard::CellBoard(int w, int h) : width(w), height(h) {
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
    board->cells = AllocateCells(board->CellCount(), true);
    if (board->cells == nullptr) return nullptr;
    return board;
}

void CellBoard::ReleaseCellBitmap() {
    std::free(cells);
    cells = nullptr;
}

void CellBoard::Clear() {
    std::memset(cells, 0, CellCount());
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
        const uint8_t* row = board.cells + std::size_t(y) * std::size_t(board.width);
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

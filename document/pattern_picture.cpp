#include "document/pattern_picture.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "document/life_app_base.h"
#include "document/pattern_io.h"
#include "formats/pattern_reader.h"
#include "framework/file.h"
#include "framework/win_app.h"

namespace cellarium {

std::vector<uint32_t> DrawCellsScaled(const CellBoard& board, const Rect& box, int side) {
    std::vector<uint32_t> pixels(std::size_t(side) * std::size_t(side), board.colours[0].Rgb());
    if (side <= 0 || box.right < box.left || box.bottom < box.top) return pixels;
    const int64_t wide = int64_t(box.right) - box.left + 1;
    const int64_t high = int64_t(box.bottom) - box.top + 1;
    const int64_t n = std::max<int64_t>({wide, high, 8});
    const int64_t offsetX = (n - wide) / 2, offsetY = (n - high) / 2;
    // The pixels [first, last) a cell at position c (0..n-1) covers.
    auto span = [side, n](int64_t c) {
        const int64_t first = c * side / n;
        return std::pair<int64_t, int64_t>{first, std::max(first + 1, (c + 1) * side / n)};
    };
    for (int32_t y = box.top; y <= box.bottom; ++y) {
        const auto [top, bottom] = span(y - box.top + offsetY);
        for (int32_t x = box.left; x <= box.right; ++x) {
            const uint8_t v = board.At(x, y);
            if (v == 0) continue;
            const uint32_t rgb = board.colours[v].Rgb();
            const auto [left, right] = span(x - box.left + offsetX);
            for (int64_t py = top; py < bottom; ++py)
                for (int64_t px = left; px < right; ++px) pixels[std::size_t(py * side + px)] = rgb;
        }
    }
    return pixels;
}

FilePicture MakePatternPicture(const std::string& path, BoardSize size,
                               const std::array<ColourEntry, kPaletteEntries>& colours, int side) {
    FilePicture picture;
    picture.side = side;
    // Only plain files: a pipe or device in the list would hold the worker
    // (the cache leaves a worker that hangs in a read behind, should a pipe
    // take the name after this check).
    if (Platform().Files().QueryFile(path).kind != FileKind::Regular) return picture;
    CFile file;
    if (!file.Open(path, kModeRead | kShareDenyWrite)) {
        picture.problem = "The file cannot be opened.";
        return picture;
    }
    std::unique_ptr<CellBoard> board = CellBoard::CreateDetached(size.width, size.height, colours);
    if (!board) return picture;
    CFileByteSource source(file);
    struct SizeKeeper final : PatternReporter {
        void ShowMessage(const std::string& text) override { message = text; }
        void ShowTooBig(int64_t w, int64_t h) override {
            tooBig = true;
            wide = w;
            high = h;
        }
        std::string message;
        bool tooBig = false;
        int64_t wide = 0, high = 0;
    } reporter;
    Rule rule;
    const bool read = ReadPattern(*board, source, reporter, rule);
    if (!read || source.Failed()) {
        auto clamp = [](int64_t v) { return int(std::min<int64_t>(v, INT32_MAX)); };
        picture.tooBig = !source.Failed() && reporter.tooBig;
        picture.boardWide = size.width;
        picture.boardHigh = size.height;
        picture.cellsWide = picture.tooBig ? clamp(reporter.wide) : 0;
        picture.cellsHigh = picture.tooBig ? clamp(reporter.high) : 0;
        picture.problem =
            source.Failed() ? "The file could not be read to its end." : reporter.message;
        return picture;
    }
    picture.readable = true;
    // The live cells' own box: a reader may leave the bounds wider (a
    // picture file's whole rows), and the box is what the list shows.
    const Rect box = board->liveCount > 0 ? LiveCellBox(*board) : board->EmptyBox();
    if (board->liveCount > 0) {
        picture.cellsWide = box.right - box.left + 1;
        picture.cellsHigh = box.bottom - box.top + 1;
    }
    picture.pixels = DrawCellsScaled(*board, box, side);
    return picture;
}

std::function<FilePicture(const std::string&)> CurrentPatternPictureMaker(std::string& key) {
    ProfileSettings settings;
    const BoardSize size = ReadBoardSize(settings);
    std::array<ColourEntry, kPaletteEntries> colours{};
    // Before the first board is made there is no current palette yet: the
    // pictures take the one that board will make current.
    const PaletteBlock* palette = CurrentPalette();
    colours = (palette != nullptr ? *palette : Palette(PaletteId::Rainbow)).entries;
    uint64_t hash = 14695981039346656037ull;  // FNV-1a over the colours
    for (const ColourEntry& c : colours) hash = (hash ^ c.Rgb()) * 1099511628211ull;
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d/%016llx", size.width, size.height,
                  static_cast<unsigned long long>(hash));
    key = text;
    return [size, colours](const std::string& path) {
        return MakePatternPicture(path, size, colours);
    };
}

}  // namespace cellarium

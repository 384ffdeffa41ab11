// The colour commands: the six palette commands with their check marks, Load
// Custom Colors (a ".map" palette file), Invert Colors, Reverse Palette Order,
// ApplyPalette, and the margin beyond the board's edge.
#include <algorithm>
#include <istream>
#include <optional>
#include <streambuf>

#include "colour/palette_file.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "framework/document.h"
#include "framework/file.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kPaletteFilter = "Palette files (*.map)|*.map|All Files (*.*)|*.*||";

namespace {

// The block each palette command makes current.
std::optional<PaletteId> PaletteOfCommand(unsigned id) {
    switch (id) {
        case ID_COLORS_AUTUMN:
            return PaletteId::Autumn;
        case ID_COLORS_BLUE:
            return PaletteId::ShadesOfBlue;
        case ID_COLORS_RAINBOW:
            return PaletteId::Rainbow;
        case ID_COLORS_SUNSHINE:
            return PaletteId::Sunshine;
        case ID_COLORS_BW:
            return PaletteId::BlackAndWhite;
        case ID_COLORS_CUSTOM:
            return PaletteId::Custom;
        default:
            return std::nullopt;
    }
}

// The display's nearest-colour query, as the palette builder takes it.
ColourEntry DisplayColour(ColourEntry colour) {
    const uint32_t shown = Platform().Windows().NearestColour(colour.Rgb());
    return MakeColour(int(shown & 0xFFu), int((shown >> 8) & 0xFFu), int((shown >> 16) & 0xFFu));
}

// A read-only stream buffer over a platform file, so the palette file reader
// reads through the platform like every other file the document opens. A read
// error ends the data.
class CFileStreamBuf final : public std::streambuf {
public:
    explicit CFileStreamBuf(CFile& file) : file_(file) {}

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        const std::size_t got = file_.Read(buffer_, sizeof buffer_);
        if (got == 0) return traits_type::eof();
        setg(buffer_, buffer_, buffer_ + got);
        return traits_type::to_int_type(*gptr());
    }

private:
    CFile& file_;
    char buffer_[4096];
};

}  // namespace

bool CLifeView::OnColourCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CLifeView> map =
        CommandMap<CLifeView>()
            .OnRange(ID_COLORS_AUTUMN, ID_COLORS_AUTUMN, CN_COMMAND, &CLifeView::OnPaletteCommand)
            .OnRange(ID_COLORS_BLUE, ID_COLORS_BLUE, CN_COMMAND, &CLifeView::OnPaletteCommand)
            .OnRange(ID_COLORS_RAINBOW, ID_COLORS_RAINBOW, CN_COMMAND, &CLifeView::OnPaletteCommand)
            .OnRange(ID_COLORS_SUNSHINE, ID_COLORS_SUNSHINE, CN_COMMAND,
                     &CLifeView::OnPaletteCommand)
            .OnRange(ID_COLORS_BW, ID_COLORS_BW, CN_COMMAND, &CLifeView::OnPaletteCommand)
            .OnRange(ID_COLORS_CUSTOM, ID_COLORS_CUSTOM, CN_COMMAND, &CLifeView::OnPaletteCommand)
            .OnUpdate(ID_COLORS_AUTUMN, &CLifeView::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_BLUE, &CLifeView::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_RAINBOW, &CLifeView::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_SUNSHINE, &CLifeView::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_BW, &CLifeView::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_CUSTOM, &CLifeView::OnUpdatePaletteCommand)
            .On(ID_LOAD_CUSTOM_COLORS, &CLifeView::OnLoadCustomColors)
            .On(ID_INVERT_COLORS, &CLifeView::OnInvertColors)
            .On(ID_REVERSE_PALETTE, &CLifeView::OnReversePalette)
            .On(ID_SAVE_AS_IMAGE, &CLifeView::OnSaveAsImage);
    return map.Dispatch(*this, msg);
}

void CLifeView::ApplyPalette(PaletteBlock& palette) {
    RememberCenter();
    if (CLifeDoc* doc = GetDocument()) doc->ChangePalette(palette);
    m_bLayoutPending = true;
    // The background is erased too: the margin around the board takes the
    // new dead-cell colour now rather than at the next exposure. The erase
    // paints only outside the board, so the board itself does not flicker.
    Invalidate(true);
    KickIdle();
}

void CLifeView::OnPaletteCommand(unsigned id) {
    if (const std::optional<PaletteId> which = PaletteOfCommand(id)) ApplyPalette(Palette(*which));
}

void CLifeView::OnUpdatePaletteCommand(CCmdUI* pCmdUI) {
    // Only the very block that is current is checked: a Custom palette that
    // holds Rainbow's colours does not check Rainbow.
    const std::optional<PaletteId> which = PaletteOfCommand(pCmdUI->m_nID);
    pCmdUI->SetCheck(which && IsCurrentPalette(*which) ? 1 : 0);
}

void CLifeView::OnLoadCustomColors() {
    CFileDialog dlg(true, std::string(), std::string(), 0, kPaletteFilter);
    if (dlg.DoModal() != IDOK) return;
    CWaitCursor wait;
    // A file that cannot be read or gives no colour leaves both the Custom
    // palette and the current palette as they were, and the user is told.
    const std::string& path = dlg.GetPathName();
    CFile file;
    if (!file.Open(path, kModeRead | kShareDenyWrite)) {
        ShowMessage(SaveLoadFailureText(path, file.LastError(), false, kPromptFailedToOpen),
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const auto before = Palette(PaletteId::Custom).entries;
    CFileStreamBuf buffer(file);
    std::istream in(&buffer);
    const PaletteFileProblem problem = ReadPaletteFile(&in, DisplayColour);
    file.Close();
    if (file.LastError() != FileError::None) {
        // The disk failed part-way: the colours read so far are not the
        // file's, so the palettes stay as they were, and the user is told.
        Palette(PaletteId::Custom).entries = before;
        ShowMessage(SaveLoadFailureText(path, file.LastError(), false, kPromptFailedToOpen),
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (problem != PaletteFileProblem::None) {
        ShowMessage(PaletteFileRefusedMessage(path, problem), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    ApplyPalette(Palette(PaletteId::Custom));
}

std::string PaletteFileRefusedMessage(const std::string& path, PaletteFileProblem problem) {
    if (problem == PaletteFileProblem::TooLong)
        return path + " is not a palette file: its colours still run on after " +
               std::to_string(kMaxPaletteFileBytes / 1024) + " KiB.";
    return path + " is not a palette file: it gives no colour.";
}

void CLifeView::OnInvertColors() {
    if (const PaletteBlock* current = CurrentPalette()) InvertPalette(*current);
    ApplyPalette(Palette(PaletteId::Custom));
}

void CLifeView::OnReversePalette() {
    if (const PaletteBlock* current = CurrentPalette()) ReversePalette(*current, DisplayColour);
    ApplyPalette(Palette(PaletteId::Custom));
}

namespace {

int Luma(uint32_t rgb) {
    const int r = int(rgb & 0xFF), g = int((rgb >> 8) & 0xFF), b = int((rgb >> 16) & 0xFF);
    return (r * 299 + g * 587 + b * 114) / 1000;
}

uint32_t Grey(int level) {
    const auto v = uint32_t(level);
    return v | (v << 8) | (v << 16);
}

}  // namespace

uint32_t MarginColour(uint32_t dead) {
    // A neutral grey, lighter or darker when the dead cells are grey already.
    const int luma = Luma(dead);
    if (luma < 80 || luma > 176) return Grey(0x80);
    return luma < 128 ? Grey(0xD0) : Grey(0x30);
}

uint32_t FrameColour(uint32_t dead) {
    return Luma(dead) < 128 ? Grey(0xF0) : Grey(0x10);
}

uint32_t GridColour(uint32_t dead) {
    // A sixth of the way from the dead-cell colour to a mid grey, at least a
    // few levels from it.
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const int v = int((dead >> shift) & 0xFF);
        int g = v + (0x80 - v) / 6;
        if (g == v) g = v < 0x80 ? v + 12 : v - 12;
        out |= uint32_t(g) << shift;
    }
    return out;
}

bool CLifeView::OnEraseBkgnd(CDC& dc) {
    CLifeDoc* doc = GetDocument();
    if (CurrentPalette() == nullptr || doc == nullptr || !doc->HasBoards())
        return CScrollView::OnEraseBkgnd(dc);
    PaintMargin(dc);
    return true;
}

void CLifeView::PaintMargin(CDC& dc) {
    const PaletteBlock* palette = CurrentPalette();
    CLifeDoc* doc = GetDocument();
    if (palette == nullptr || doc == nullptr || !doc->HasBoards()) return;
    // The extent and position the draw that follows will use.
    LayoutIfPending();
    CRect client;
    GetClientRect(&client);
    const CellBoard& board = *doc->CurrentBoard();
    const int z = int(m_nZoom);
    const CPoint s = BoardScroll();
    // The board covers this part of the client area; around it, a frame line
    // one pixel wide and the margin beyond.
    const CRect onBoard{-s.x, -s.y, z * board.width - s.x, z * board.height - s.y};
    const CRect framed{onBoard.left - 1, onBoard.top - 1, onBoard.right + 1, onBoard.bottom + 1};
    const uint32_t dead = palette->entries[0].Rgb();
    auto fill = [&dc](const CRect& r, uint32_t colour) {
        if (!r.IsEmpty()) dc.FillSolidRect(r, colour);
    };
    // Fills what lies within `within` but outside `inner`: above, below, and
    // left and right between them.
    auto fillOutside = [&](const CRect& inner, uint32_t colour, const CRect& within) {
        const int top = std::max(inner.top, within.top);
        const int bottom = std::min(inner.bottom, within.bottom);
        fill(CRect{within.left, within.top, within.right, std::min(inner.top, within.bottom)},
             colour);
        fill(CRect{within.left, std::max(inner.bottom, within.top), within.right, within.bottom},
             colour);
        fill(CRect{within.left, top, std::min(inner.left, within.right), bottom}, colour);
        fill(CRect{std::max(inner.right, within.left), top, within.right, bottom}, colour);
    };
    fillOutside(framed, MarginColour(dead), client);
    const CRect inFrame{std::max(framed.left, client.left), std::max(framed.top, client.top),
                        std::min(framed.right, client.right),
                        std::min(framed.bottom, client.bottom)};
    if (!inFrame.IsEmpty()) fillOutside(onBoard, FrameColour(dead), inFrame);
}

}  // namespace cellarium

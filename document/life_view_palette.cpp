// The colour commands (life_view_palette.h), and the colours beyond the
// board's edge.
#include "document/life_view_palette.h"

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

bool ColourControl::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<ColourControl> map =
        CommandMap<ColourControl>()
            .OnRange(ID_COLORS_AUTUMN, ID_COLORS_AUTUMN, CN_COMMAND,
                     &ColourControl::OnPaletteCommand)
            .OnRange(ID_COLORS_BLUE, ID_COLORS_BLUE, CN_COMMAND, &ColourControl::OnPaletteCommand)
            .OnRange(ID_COLORS_RAINBOW, ID_COLORS_RAINBOW, CN_COMMAND,
                     &ColourControl::OnPaletteCommand)
            .OnRange(ID_COLORS_SUNSHINE, ID_COLORS_SUNSHINE, CN_COMMAND,
                     &ColourControl::OnPaletteCommand)
            .OnRange(ID_COLORS_BW, ID_COLORS_BW, CN_COMMAND, &ColourControl::OnPaletteCommand)
            .OnRange(ID_COLORS_CUSTOM, ID_COLORS_CUSTOM, CN_COMMAND,
                     &ColourControl::OnPaletteCommand)
            .OnUpdate(ID_COLORS_AUTUMN, &ColourControl::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_BLUE, &ColourControl::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_RAINBOW, &ColourControl::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_SUNSHINE, &ColourControl::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_BW, &ColourControl::OnUpdatePaletteCommand)
            .OnUpdate(ID_COLORS_CUSTOM, &ColourControl::OnUpdatePaletteCommand)
            .On(ID_LOAD_CUSTOM_COLORS, &ColourControl::OnLoadCustomColors)
            .On(ID_INVERT_COLORS, &ColourControl::OnInvertColors)
            .On(ID_REVERSE_PALETTE, &ColourControl::OnReversePalette);
    return map.Dispatch(*this, msg);
}

void ColourControl::ApplyPalette(PaletteBlock& palette) {
    view_.Viewport().RememberCenter();
    if (CLifeDoc* doc = Document()) doc->ChangePalette(palette);
    view_.Viewport().MarkLayoutPending();
    // The background is erased too: the margin around the board takes the
    // new dead-cell colour now rather than at the next exposure. The erase
    // paints only outside the board, so the board itself does not flicker.
    view_.Invalidate(true);
    view_.KickIdle();
}

void ColourControl::OnPaletteCommand(unsigned id) {
    if (const std::optional<PaletteId> which = PaletteOfCommand(id)) ApplyPalette(Palette(*which));
}

void ColourControl::OnUpdatePaletteCommand(CCmdUI* pCmdUI) {
    // Only the very block that is current is checked: a Custom palette that
    // holds Rainbow's colours does not check Rainbow.
    const std::optional<PaletteId> which = PaletteOfCommand(pCmdUI->m_nID);
    pCmdUI->SetCheck(which && IsCurrentPalette(*which) ? 1 : 0);
}

void ColourControl::OnLoadCustomColors() {
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

void ColourControl::OnInvertColors() {
    if (const PaletteBlock* current = CurrentPalette()) InvertPalette(*current);
    ApplyPalette(Palette(PaletteId::Custom));
}

void ColourControl::OnReversePalette() {
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

}  // namespace cellarium

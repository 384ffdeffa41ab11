// Undo and redo, the rectangular selection and what is done with it (copy,
// cut, clear, clear outside, fill, flips and quarter turns), and paste as a
// pattern floating under the pointer until a click drops it.
//
// The selection and the floating paste are the view's, like the stylus;
// every change they make to the board goes through the document as one undo
// step.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "document/fill_random_dlg.h"
#include "document/life_app_base.h"
#include "document/life_doc.h"
#include "document/life_view.h"
#include "formats/pattern_reader.h"
#include "formats/rle_writer.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kNothingToPasteMessage = "The clipboard holds no pattern to paste.";

std::string DroppedCellsMessage(int64_t dropped) {
    return std::to_string(dropped) + (dropped == 1 ? " cell" : " cells") +
           " would have left the board and " + (dropped == 1 ? "was" : "were") + " dropped.";
}

std::string PasteTooLargeMessage(int width, int height) {
    return "The pattern on the clipboard does not fit on the board (" + std::to_string(width - 2) +
           " x " + std::to_string(height - 2) + " cells inside the border). Nothing was pasted.";
}

namespace {

// Outline colours, red + 256 green + 65536 blue: a black line beside a
// white one shows on every palette.
constexpr uint32_t kOutlineDark = 0x000000;
constexpr uint32_t kOutlineLight = 0xFFFFFF;

CDialogBar* Strip() {
    CFrameWnd* frame = MainWindow();
    return frame != nullptr ? frame->GetControlBar(kDialogBarId) : nullptr;
}

Rect Normalised(CPoint a, CPoint b) {
    return Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// The clipboard's text as 8-bit bytes (the ANSI block, else the Unicode one
// converted), without the terminating zero.
std::optional<std::string> ClipboardText() {
    ClipboardServices& clipboard = Platform().Clipboard();
    if (!clipboard.OpenClipboard()) return std::nullopt;
    std::optional<std::vector<uint8_t>> bytes = clipboard.GetClipboardData(CF_TEXT);
    if (!bytes) {
        if (std::optional<std::vector<uint8_t>> wide = clipboard.GetClipboardData(CF_UNICODETEXT)) {
            std::u16string text;
            for (std::size_t i = 0; i + 1 < wide->size(); i += 2) {
                const char16_t unit = char16_t((*wide)[i] | ((*wide)[i + 1] << 8));
                if (unit == 0) break;
                text.push_back(unit);
            }
            bytes = clipboard.ConvertToAnsi(text);
        }
    }
    clipboard.CloseClipboard();
    if (!bytes) return std::nullopt;
    std::string text(bytes->begin(), std::find(bytes->begin(), bytes->end(), uint8_t(0)));
    return text;
}

int64_t LiveCells(const CellBlock& block) {
    return std::count_if(block.cells.begin(), block.cells.end(), [](uint8_t v) { return v != 0; });
}

}  // namespace

bool CLifeView::OnSelectionCmdMsg(const CmdMsg& msg) {
    static const CommandMap<CLifeView> map =
        CommandMap<CLifeView>()
            .On(ID_EDIT_UNDO, &CLifeView::OnEditUndo)
            .On(ID_EDIT_REDO, &CLifeView::OnEditRedo)
            .OnUpdate(ID_EDIT_UNDO, &CLifeView::OnUpdateEditUndo)
            .OnUpdate(ID_EDIT_REDO, &CLifeView::OnUpdateEditRedo)
            .On(ID_EDIT_COPY, &CLifeView::OnEditCopy)
            .On(ID_EDIT_CUT, &CLifeView::OnEditCut)
            .On(ID_EDIT_PASTE, &CLifeView::OnEditPaste)
            .On(ID_EDIT_CLEAR, &CLifeView::OnEditClear)
            .On(ID_EDIT_CLEAR_OUTSIDE, &CLifeView::OnEditClearOutside)
            .On(ID_EDIT_FILL_RANDOM, &CLifeView::OnEditFillRandom)
            .On(ID_EDIT_FLIP_HORIZONTAL, &CLifeView::OnEditFlipHorizontal)
            .On(ID_EDIT_FLIP_VERTICAL, &CLifeView::OnEditFlipVertical)
            .On(ID_EDIT_ROTATE_CLOCKWISE, &CLifeView::OnEditRotateClockwise)
            .On(ID_EDIT_ROTATE_ANTICLOCKWISE, &CLifeView::OnEditRotateAnticlockwise)
            .On(ID_EDIT_SELECT_ALL, &CLifeView::OnEditSelectAll)
            .On(ID_EDIT_CANCEL, &CLifeView::OnEditCancel)
            .OnUpdate(ID_EDIT_COPY, &CLifeView::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_CUT, &CLifeView::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_CLEAR, &CLifeView::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_CLEAR_OUTSIDE, &CLifeView::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_FILL_RANDOM, &CLifeView::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_FLIP_HORIZONTAL, &CLifeView::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_FLIP_VERTICAL, &CLifeView::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_ROTATE_CLOCKWISE, &CLifeView::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_ROTATE_ANTICLOCKWISE, &CLifeView::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_PASTE, &CLifeView::OnUpdateEditPaste)
            .OnUpdate(ID_EDIT_SELECT_ALL, &CLifeView::OnUpdateEditPaste)
            .OnUpdate(ID_EDIT_CANCEL, &CLifeView::OnUpdateEditCancel);
    return map.Dispatch(*this, msg);
}

// --- Undo and redo ----------------------------------------------------------------

void CLifeView::OnEditUndo() {
    UndoOrRedo(false);
}

void CLifeView::OnEditRedo() {
    UndoOrRedo(true);
}

void CLifeView::UndoOrRedo(bool redo) {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr) return;
    if (IsRunning()) OnPause();
    RunCounters counters = Counters();
    if (!(redo ? doc->Redo(counters) : doc->Undo(counters))) return;
    m_nGeneration = counters.generation;
    m_nBirths = counters.births;
    m_nDeaths = counters.deaths;
    Invalidate(false);
    UpdateStatusLine();
    KickIdle();
}

void CLifeView::OnUpdateEditUndo(CCmdUI* pCmdUI) {
    CLifeDoc* doc = GetDocument();
    const bool can = doc != nullptr && doc->History().CanUndo();
    pCmdUI->Enable(can);
    pCmdUI->SetText(can ? std::string("Undo ") + UndoKindName(doc->History().UndoKindNext())
                        : std::string("Undo"));
}

void CLifeView::OnUpdateEditRedo(CCmdUI* pCmdUI) {
    CLifeDoc* doc = GetDocument();
    const bool can = doc != nullptr && doc->History().CanRedo();
    pCmdUI->Enable(can);
    pCmdUI->SetText(can ? std::string("Redo ") + UndoKindName(doc->History().RedoKindNext())
                        : std::string("Redo"));
}

// --- The selection ------------------------------------------------------------------

CPoint CLifeView::ClampedCell(CPoint point) const {
    CLifeDoc* doc = GetDocument();
    const CPoint cell = ClientToCell(point);
    if (doc == nullptr || !doc->HasBoards()) return cell;
    const CellBoard& board = *doc->CurrentBoard();
    return CPoint{std::clamp(cell.x, 0, board.width - 1), std::clamp(cell.y, 0, board.height - 1)};
}

void CLifeView::SetSelection(Rect cells) {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    cells = ClipToBoard(*doc->CurrentBoard(), cells);
    m_bHasSelection = !IsEmptyRect(cells);
    m_rcSelection = cells;
    UpdateSelectionLabel();
    Invalidate(false);
    KickIdle();
}

void CLifeView::DropSelection() {
    if (!m_bHasSelection && !m_bSelecting) return;
    m_bHasSelection = false;
    m_bSelecting = false;
    UpdateSelectionLabel();
    Invalidate(false);
    KickIdle();
}

void CLifeView::UpdateSelectionLabel() {
    CDialogBar* strip = Strip();
    if (strip == nullptr) return;
    if (!m_bHasSelection) {
        strip->SetDlgItemText(IDC_EDIT_MODE_LABEL, "Edit Mode");
        return;
    }
    strip->SetDlgItemText(IDC_EDIT_MODE_LABEL,
                          std::to_string(m_rcSelection.right - m_rcSelection.left + 1) + " x " +
                              std::to_string(m_rcSelection.bottom - m_rcSelection.top + 1));
}

bool CLifeView::SelectionButtonDown(unsigned flags, CPoint point) {
    CLifeDoc* doc = GetDocument();
    // A press whose release was never seen ends its stroke here.
    if (doc != nullptr) doc->EndStroke();
    m_bIgnoreDrag = false;
    if (doc == nullptr || !doc->HasBoards()) return false;
    if (m_bFloating) {
        // The click drops the floating pattern where it is shown.
        const CPoint cell = ClientToCell(point);
        m_ptFloat = CPoint{cell.x - m_floating.width / 2, cell.y - m_floating.height / 2};
        const Rect area{m_ptFloat.x, m_ptFloat.y, m_ptFloat.x + m_floating.width - 1,
                        m_ptFloat.y + m_floating.height - 1};
        int64_t dropped = LiveCells(m_floating);
        doc->EditArea(UndoKind::Paste, area, [&](CellBoard& board) {
            dropped = PasteBlock(board, m_floating, m_ptFloat.x, m_ptFloat.y, 1);
        });
        m_bFloating = false;
        m_floating = CellBlock{};
        SetSelection(area);
        UpdateStatusLine();
        if (dropped > 0) ReportDropped(dropped);
        return true;
    }
    if (m_bEditMode && (flags & MK_SHIFT) != 0) {
        OnRButtonDown(flags, point);
        return true;
    }
    if (m_bHasSelection) {
        const CPoint cell = ClientToCell(point);
        const Rect& s = m_rcSelection;
        if (cell.x < s.left || cell.x > s.right || cell.y < s.top || cell.y > s.bottom) {
            // A click outside the selection only removes it: the drag that
            // follows draws nothing.
            DropSelection();
            m_bIgnoreDrag = true;
            return true;
        }
    }
    return false;
}

bool CLifeView::SelectionMouseMove(unsigned flags, CPoint point) {
    if (m_bFloating) {
        const CPoint cell = ClientToCell(point);
        const CPoint at{cell.x - m_floating.width / 2, cell.y - m_floating.height / 2};
        if (at.x != m_ptFloat.x || at.y != m_ptFloat.y) {
            m_ptFloat = at;
            Invalidate(false);
        }
        return true;
    }
    if (m_bIgnoreDrag && (flags & MK_LBUTTON) != 0) return true;
    if (!m_bSelecting) return false;
    if ((flags & (MK_LBUTTON | MK_RBUTTON)) == 0) {
        m_bSelecting = false;
        return true;
    }
    SetSelection(Normalised(m_ptAnchor, ClampedCell(point)));
    return true;
}

bool CLifeView::SelectionKeyDown(unsigned key) {
    if (key == VK_ESCAPE && (m_bFloating || m_bHasSelection)) {
        OnEditCancel();
        return true;
    }
    if (key == VK_DELETE && m_bHasSelection && !m_bFloating) {
        OnEditClear();
        return true;
    }
    return false;
}

void CLifeView::OnLButtonUp(unsigned flags, CPoint point) {
    CScrollView::OnLButtonUp(flags, point);
    if (CLifeDoc* doc = GetDocument()) doc->EndStroke();
    m_bSelecting = false;
    m_bIgnoreDrag = false;
}

void CLifeView::OnRButtonDown(unsigned flags, CPoint point) {
    CScrollView::OnRButtonDown(flags, point);
    CLifeDoc* doc = GetDocument();
    if (!m_bEditMode || m_bFloating || doc == nullptr || !doc->HasBoards()) return;
    doc->EndStroke();
    m_ptAnchor = ClampedCell(point);
    m_bSelecting = true;
    SetSelection(Normalised(m_ptAnchor, m_ptAnchor));
}

void CLifeView::OnRButtonUp(unsigned flags, CPoint point) {
    CScrollView::OnRButtonUp(flags, point);
    m_bSelecting = false;
}

void CLifeView::OnEditSelectAll() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    const Rect box = LiveCellBox(*doc->CurrentBoard());
    if (IsEmptyRect(box))
        DropSelection();
    else
        SetSelection(box);
}

void CLifeView::OnEditCancel() {
    if (m_bFloating) {
        m_bFloating = false;
        m_floating = CellBlock{};
        Invalidate(false);
        KickIdle();
        return;
    }
    DropSelection();
}

void CLifeView::OnUpdateNeedsSelection(CCmdUI* pCmdUI) {
    CLifeDoc* doc = GetDocument();
    pCmdUI->Enable(m_bHasSelection && !m_bFloating && doc != nullptr && doc->HasBoards());
}

void CLifeView::OnUpdateEditPaste(CCmdUI* pCmdUI) {
    CLifeDoc* doc = GetDocument();
    pCmdUI->Enable(!m_bFloating && doc != nullptr && doc->HasBoards());
}

void CLifeView::OnUpdateEditCancel(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_bFloating || m_bHasSelection);
}

// --- Commands on the selection ----------------------------------------------------

void CLifeView::EditSelection(UndoKind kind, Rect area,
                              const std::function<void(CellBoard&)>& edit) {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards() || !m_bHasSelection) return;
    doc->EditArea(kind, area, edit);
    Invalidate(false);
    UpdateStatusLine();
    KickIdle();
}

void CLifeView::ReportDropped(int64_t dropped) {
    MessageBox(DroppedCellsMessage(dropped), std::string(), MB_OK);
}

void CLifeView::OnEditCopy() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards() || !m_bHasSelection) return;
    const CellBlock block = CopyRect(*doc->CurrentBoard(), m_rcSelection);
    // The selected cells on a board of their own, inside a dead border, so
    // that the RLE writer takes them as it takes a whole pattern.
    std::unique_ptr<CellBoard> board =
        CellBoard::Create(std::max(block.width + 2, 3), std::max(block.height + 2, 3));
    if (!board) {
        if (CLifeAppBase* app = LifeApp()) app->OnCellMemoryFailure();
        return;
    }
    for (int y = 0; y < block.height; ++y)
        for (int x = 0; x < block.width; ++x)
            board->At(x + 1, y + 1) = block.cells[std::size_t(y) * std::size_t(block.width) + x];
    MemoryByteSink sink;
    WriteRlePattern(*board, sink, RleGrid::Plain);
    // LF line ends, and no position line: the position is the pattern's own
    // board's, which means nothing to the program it is pasted into.
    std::string text;
    std::size_t start = 0;
    const std::string& bytes = sink.bytes();
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("#CXRLE", 0) == 0) continue;
        text += line + "\n";
    }
    ClipboardServices& clipboard = Platform().Clipboard();
    if (!clipboard.OpenClipboard()) return;
    clipboard.SetClipboardText(text);
    clipboard.CloseClipboard();
}

void CLifeView::OnEditCut() {
    if (!m_bHasSelection) return;
    OnEditCopy();
    const Rect s = m_rcSelection;
    EditSelection(UndoKind::Cut, s, [s](CellBoard& board) { ClearRect(board, s); });
}

void CLifeView::OnEditClear() {
    const Rect s = m_rcSelection;
    EditSelection(UndoKind::Clear, s, [s](CellBoard& board) { ClearRect(board, s); });
}

void CLifeView::OnEditClearOutside() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& current = *doc->CurrentBoard();
    const Rect s = m_rcSelection;
    EditSelection(UndoKind::ClearOutside, Rect{0, 0, current.width - 1, current.height - 1},
                  [s](CellBoard& board) { ClearOutsideRect(board, s); });
}

void CLifeView::OnEditFillRandom() {
    if (!m_bHasSelection) return;
    // The density is kept in the settings, so the next fill (in this run of
    // the program or a later one) offers the last one given.
    CWinApp* app = TheApp();
    if (app != nullptr)
        m_nFillPercent =
            std::clamp(app->GetProfileInt("Edit", "FillPercent", m_nFillPercent), 0, 100);
    CFillRandomDlg dlg(this);
    dlg.m_nPercent = m_nFillPercent;
    if (dlg.DoModal() != IDOK) return;
    m_nFillPercent = dlg.m_nPercent;
    if (app != nullptr) app->WriteProfileInt("Edit", "FillPercent", m_nFillPercent);
    const uint64_t seed = m_nFillSeed++;
    const int percent = m_nFillPercent;
    const Rect s = m_rcSelection;
    EditSelection(UndoKind::FillRandom, s,
                  [=](CellBoard& board) { FillRandomRect(board, s, percent, seed); });
}

void CLifeView::OnEditFlipHorizontal() {
    MoveSelectedCells(UndoKind::FlipHorizontal, false, true);
}

void CLifeView::OnEditFlipVertical() {
    MoveSelectedCells(UndoKind::FlipVertical, false, false);
}

void CLifeView::OnEditRotateClockwise() {
    MoveSelectedCells(UndoKind::RotateClockwise, true, true);
}

void CLifeView::OnEditRotateAnticlockwise() {
    MoveSelectedCells(UndoKind::RotateAnticlockwise, true, false);
}

void CLifeView::MoveSelectedCells(UndoKind kind, bool turn, bool sense) {
    if (!m_bHasSelection) return;
    const Rect s = m_rcSelection;
    // A turn about the centre of a selection that is not square covers the
    // turned rectangle too; a flip stays within the selection.
    const Rect to = turn ? RotatedRect(s) : s;
    int64_t dropped = 0;
    EditSelection(kind, UnionRect(s, to), [&](CellBoard& board) {
        dropped = turn ? RotateRect(board, s, sense) : FlipRect(board, s, sense);
    });
    if (turn) SetSelection(to);
    if (dropped > 0) ReportDropped(dropped);
}

// --- Paste ---------------------------------------------------------------------------

void CLifeView::OnEditPaste() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    const std::optional<std::string> text = ClipboardText();
    if (!text) {
        MessageBox(kNothingToPasteMessage, std::string(), MB_OK);
        return;
    }
    const CellBoard& current = *doc->CurrentBoard();
    std::unique_ptr<CellBoard> scratch = CellBoard::Create(current.width, current.height);
    if (!scratch) {
        if (CLifeAppBase* app = LifeApp()) app->OnCellMemoryFailure();
        return;
    }
    // The reader sets the rule tables from what it reads; a paste keeps the
    // rule in force.
    const SavedRules rules = SavedRules::Current();
    struct Keeper final : PatternReporter {
        void ShowMessage(const std::string& t) override { message = t; }
        std::string message;
    } reporter;
    MemoryByteSource source(*text);
    const bool read = ReadPattern(*scratch, source, reporter);
    rules.MakeCurrent();
    const Rect box = LiveCellBox(*scratch);
    if (!read) {
        // A pattern wider or taller than the board, or one whose own
        // position lies off it.
        MessageBox(reporter.message == PatternTooBigMessage(current.width, current.height)
                       ? PasteTooLargeMessage(current.width, current.height)
                       : reporter.message,
                   std::string(), MB_OK);
        return;
    }
    if (IsEmptyRect(box)) {
        MessageBox(kNothingToPasteMessage, std::string(), MB_OK);
        return;
    }
    if (box.right - box.left + 1 > current.width - 2 ||
        box.bottom - box.top + 1 > current.height - 2) {
        MessageBox(PasteTooLargeMessage(current.width, current.height), std::string(), MB_OK);
        return;
    }
    m_floating = CopyRect(*scratch, box);
    m_bFloating = true;
    // Under the middle of the view until the pointer moves.
    CRect client;
    GetClientRect(&client);
    const CPoint middle = ClientToCell(CPoint{client.Width() / 2, client.Height() / 2});
    m_ptFloat = CPoint{middle.x - m_floating.width / 2, middle.y - m_floating.height / 2};
    Invalidate(false);
    KickIdle();
}

// --- Drawing -------------------------------------------------------------------------

void CLifeView::DrawSelection(CDC* pDC) {
    if (!m_bHasSelection && !m_bFloating) return;
    const int z = int(m_nZoom);
    CRect client;
    GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    const CPoint s = GetScrollPosition();
    // As OnDraw stretches the board: the block of w / z cells from the whole
    // cell at s / z fills the client area.
    const int cellsX = std::max(w / z, 1), cellsY = std::max(h / z, 1);
    auto toX = [&](long long cx) { return int((cx - s.x / z) * w / cellsX); };
    auto toY = [&](long long cy) { return int((cy - s.y / z) * h / cellsY); };
    auto outline = [&](const Rect& r) {
        const int l = toX(r.left), t = toY(r.top), rr = toX(r.right + 1), b = toY(r.bottom + 1);
        if (rr < -2 || b < -2 || l > w + 2 || t > h + 2) return;
        const uint32_t colours[2] = {kOutlineDark, kOutlineLight};
        for (int i = 0; i < 2; ++i) {
            const int o = i == 0 ? -1 : 0;  // the dark line outside, the light one inside
            pDC->FillSolidRect(CRect{l + o, t + o, rr - o, t + o + 1}, colours[i]);
            pDC->FillSolidRect(CRect{l + o, b - o - 1, rr - o, b - o}, colours[i]);
            pDC->FillSolidRect(CRect{l + o, t + o, l + o + 1, b - o}, colours[i]);
            pDC->FillSolidRect(CRect{rr - o - 1, t + o, rr - o, b - o}, colours[i]);
        }
    };
    if (m_bHasSelection) outline(m_rcSelection);
    if (!m_bFloating) return;
    const Rect f{m_ptFloat.x, m_ptFloat.y, m_ptFloat.x + m_floating.width - 1,
                 m_ptFloat.y + m_floating.height - 1};
    // The floating cells that are in view, in the light outline colour.
    const int firstX = std::max(0, s.x / z - f.left),
              lastX = std::min(m_floating.width - 1, s.x / z + cellsX - f.left);
    const int firstY = std::max(0, s.y / z - f.top),
              lastY = std::min(m_floating.height - 1, s.y / z + cellsY - f.top);
    for (int y = firstY; y <= lastY; ++y)
        for (int x = firstX; x <= lastX; ++x)
            if (m_floating.cells[std::size_t(y) * std::size_t(m_floating.width) + std::size_t(x)])
                pDC->FillSolidRect(
                    CRect{toX(f.left + x), toY(f.top + y), toX(f.left + x + 1), toY(f.top + y + 1)},
                    kOutlineLight);
    outline(f);
}

}  // namespace cellarium

// Editing the board by hand (life_view_selection.h).
#include "document/life_view_selection.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

CDialogBar* StatusStrip() {
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

// The board less its one-cell border, which the step never computes.
Rect InteriorOf(const CellBoard& board) {
    return Rect{1, 1, board.width - 2, board.height - 2};
}

int64_t LiveCells(const CellBlock& block) {
    return std::count_if(block.cells.begin(), block.cells.end(), [](uint8_t v) { return v != 0; });
}

}  // namespace

bool EditingControl::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<EditingControl> map =
        CommandMap<EditingControl>()
            .On(ID_TOOLS_EDIT, &EditingControl::OnEditMode)
            .OnUpdate(ID_TOOLS_EDIT, &EditingControl::OnUpdateEditMode)
            .On(ID_EDIT_UNDO, &EditingControl::OnEditUndo)
            .On(ID_EDIT_REDO, &EditingControl::OnEditRedo)
            .OnUpdate(ID_EDIT_UNDO, &EditingControl::OnUpdateEditUndo)
            .OnUpdate(ID_EDIT_REDO, &EditingControl::OnUpdateEditRedo)
            .On(ID_EDIT_COPY, &EditingControl::OnEditCopy)
            .On(ID_EDIT_CUT, &EditingControl::OnEditCut)
            .On(ID_EDIT_PASTE, &EditingControl::OnEditPaste)
            .On(ID_EDIT_CLEAR, &EditingControl::OnEditClear)
            .On(ID_EDIT_CLEAR_OUTSIDE, &EditingControl::OnEditClearOutside)
            .On(ID_EDIT_FILL_RANDOM, &EditingControl::OnEditFillRandom)
            .On(ID_EDIT_FLIP_HORIZONTAL, &EditingControl::OnEditFlipHorizontal)
            .On(ID_EDIT_FLIP_VERTICAL, &EditingControl::OnEditFlipVertical)
            .On(ID_EDIT_ROTATE_CLOCKWISE, &EditingControl::OnEditRotateClockwise)
            .On(ID_EDIT_ROTATE_ANTICLOCKWISE, &EditingControl::OnEditRotateAnticlockwise)
            .On(ID_EDIT_SELECT_ALL, &EditingControl::OnEditSelectAll)
            .On(ID_EDIT_SELECT_BOARD, &EditingControl::OnEditSelectBoard)
            .On(ID_EDIT_CANCEL, &EditingControl::OnEditCancel)
            .OnUpdate(ID_EDIT_COPY, &EditingControl::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_CUT, &EditingControl::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_CLEAR, &EditingControl::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_CLEAR_OUTSIDE, &EditingControl::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_FILL_RANDOM, &EditingControl::OnUpdateEditPaste)
            .OnUpdate(ID_EDIT_FLIP_HORIZONTAL, &EditingControl::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_FLIP_VERTICAL, &EditingControl::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_ROTATE_CLOCKWISE, &EditingControl::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_ROTATE_ANTICLOCKWISE, &EditingControl::OnUpdateNeedsSelection)
            .OnUpdate(ID_EDIT_PASTE, &EditingControl::OnUpdateEditPaste)
            .OnUpdate(ID_EDIT_SELECT_ALL, &EditingControl::OnUpdateEditPaste)
            .OnUpdate(ID_EDIT_SELECT_BOARD, &EditingControl::OnUpdateEditPaste)
            .OnUpdate(ID_EDIT_CANCEL, &EditingControl::OnUpdateEditCancel);
    return map.Dispatch(*this, msg);
}

// --- Edit mode and the stylus -------------------------------------------------------

void EditingControl::OnEditMode() {
    m_bEditMode = !m_bEditMode;
    // The Erase box and the Edit Mode label take the place of the status
    // text, which keeps receiving the updates while hidden.
    if (CDialogBar* strip = StatusStrip()) {
        strip->ShowControl(IDC_ERASE, m_bEditMode);
        strip->ShowControl(IDC_EDIT_MODE_LABEL, m_bEditMode);
        strip->ShowControl(IDC_STATUS_TEXT, !m_bEditMode);
    }
}

void EditingControl::OnUpdateEditMode(CCmdUI* pCmdUI) {
    pCmdUI->Enable(true);
    pCmdUI->SetCheck(m_bEditMode ? 1 : 0);
}

void EditingControl::EditCell(CPoint cell, bool erase) {
    CLifeDoc* doc = Document();
    CellBoard& board = *doc->CurrentBoard();
    const uint8_t before = board.At(cell.x, cell.y);
    doc->NoteStrokeCell(cell.x, cell.y, erase ? 0 : 1, erase);
    // A drawn cell has the value of a loaded one, whatever it held.
    const uint8_t value = erase ? 0 : 1;
    board.Set(cell.x, cell.y, value);
    if (erase) {
        if (before != 0) --board.liveCount;
    } else {
        if (before == 0) ++board.liveCount;
        // The next step computes the whole interior.
        board.SetWholeBounds();
    }
    // A step never writes the border: it reads one board and writes the
    // other, so a border cell changed on the current board alone would come
    // and go with every step. The scratch board takes the same edit there.
    const bool onBorder =
        cell.x == 0 || cell.y == 0 || cell.x == board.width - 1 || cell.y == board.height - 1;
    if (CellBoard* scratch = doc->ScratchBoard(); onBorder && scratch != nullptr)
        scratch->Set(cell.x, cell.y, value);
    if (value != before) doc->SetModifiedFlag();
}

void EditingControl::EditCellAt(CPoint point, bool continueStroke) {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    CDialogBar* strip = StatusStrip();
    const bool erase = strip != nullptr && strip->IsDlgButtonChecked(IDC_ERASE) != 0;
    const CPoint cell = view_.Viewport().ClientToCell(point);
    const CPoint from = continueStroke && m_bStroke ? m_ptStroke : cell;
    m_ptStroke = cell;
    m_bStroke = true;
    // The line of cells from the stroke's last cell to this one (Bresenham),
    // however far the pointer moved between two events. Cells with no board
    // under them (past the edges, off the client area while dragging) are
    // ignored: nothing outside the board is read or written. The walk starts
    // at an end on the board and stops where the line leaves it, so it never
    // takes more steps than the board has cells across.
    CPoint a = from, b = cell;
    if (!view_.Viewport().IsOnBoard(a)) std::swap(a, b);
    if (!view_.Viewport().IsOnBoard(a)) return;
    const long long dx = std::llabs(int64_t(b.x) - a.x), dy = -std::llabs(int64_t(b.y) - a.y);
    const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    long long err = dx + dy;
    CPoint c = a;
    CPoint lo = a, hi = a;
    for (;;) {
        if (!view_.Viewport().IsOnBoard(c)) break;
        EditCell(c, erase);
        lo = CPoint{std::min(lo.x, c.x), std::min(lo.y, c.y)};
        hi = CPoint{std::max(hi.x, c.x), std::max(hi.y, c.y)};
        if (c == b) break;
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            c.x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            c.y += sy;
        }
    }
    // The cells edited, and a cell more on every side.
    const CRect first = view_.Viewport().CellToClient(CPoint{lo.x - 1, lo.y - 1});
    const CRect last = view_.Viewport().CellToClient(CPoint{hi.x + 1, hi.y + 1});
    const CRect around{first.left, first.top, last.right, last.bottom};
    view_.InvalidateRect(&around, true);
}

void EditingControl::LButtonDown(unsigned flags, CPoint point) {
    if (SelectionButtonDown(flags, point)) return;
    if (m_bEditMode) EditCellAt(point);
}

void EditingControl::MouseMove(unsigned flags, CPoint point) {
    if (SelectionMouseMove(flags, point)) return;
    // Only a drag with the stylus down draws.
    if ((flags & MK_LBUTTON) == 0) {
        m_bStroke = false;
        return;
    }
    if (m_bEditMode) EditCellAt(point, true);
}

// --- Undo and redo ----------------------------------------------------------------

void EditingControl::OnEditUndo() {
    UndoOrRedo(false);
}

void EditingControl::OnEditRedo() {
    UndoOrRedo(true);
}

void EditingControl::UndoOrRedo(bool redo) {
    CLifeDoc* doc = Document();
    if (doc == nullptr) return;
    SimulationControl& simulation = view_.Simulation();
    if (simulation.IsRunning()) simulation.OnPause();
    RunCounters counters = simulation.Counters();
    if (!(redo ? doc->Redo(counters) : doc->Undo(counters))) return;
    simulation.SetCounters(counters);
    view_.Invalidate(false);
    view_.UpdateStatusLine();
    view_.KickIdle();
}

void EditingControl::OnUpdateEditUndo(CCmdUI* pCmdUI) {
    CLifeDoc* doc = Document();
    const bool can = doc != nullptr && doc->History().CanUndo();
    pCmdUI->Enable(can);
    pCmdUI->SetText(can ? std::string("Undo ") + UndoKindName(doc->History().UndoKindNext())
                        : std::string("Undo"));
}

void EditingControl::OnUpdateEditRedo(CCmdUI* pCmdUI) {
    CLifeDoc* doc = Document();
    const bool can = doc != nullptr && doc->History().CanRedo();
    pCmdUI->Enable(can);
    pCmdUI->SetText(can ? std::string("Redo ") + UndoKindName(doc->History().RedoKindNext())
                        : std::string("Redo"));
}

// --- The selection ------------------------------------------------------------------

CPoint EditingControl::ClampedCell(CPoint point) const {
    CLifeDoc* doc = Document();
    const CPoint cell = view_.Viewport().ClientToCell(point);
    if (doc == nullptr || !doc->HasBoards()) return cell;
    const CellBoard& board = *doc->CurrentBoard();
    return CPoint{std::clamp(cell.x, 0, board.width - 1), std::clamp(cell.y, 0, board.height - 1)};
}

void EditingControl::SetSelection(Rect cells) {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    cells = ClipToBoard(*doc->CurrentBoard(), cells);
    m_bHasSelection = !IsEmptyRect(cells);
    m_rcSelection = cells;
    UpdateSelectionLabel();
    view_.Invalidate(false);
    view_.KickIdle();
}

void EditingControl::DropSelection() {
    if (!m_bHasSelection && !m_bSelecting) return;
    m_bHasSelection = false;
    m_bSelecting = false;
    UpdateSelectionLabel();
    view_.Invalidate(false);
    view_.KickIdle();
}

void EditingControl::UpdateSelectionLabel() {
    CDialogBar* strip = StatusStrip();
    if (strip == nullptr) return;
    if (!m_bHasSelection) {
        strip->SetDlgItemText(IDC_EDIT_MODE_LABEL, "Edit Mode");
        return;
    }
    strip->SetDlgItemText(IDC_EDIT_MODE_LABEL,
                          std::to_string(m_rcSelection.right - m_rcSelection.left + 1) + " x " +
                              std::to_string(m_rcSelection.bottom - m_rcSelection.top + 1));
}

bool EditingControl::SelectionButtonDown(unsigned flags, CPoint point) {
    CLifeDoc* doc = Document();
    // A press whose release was never seen ends its stroke here.
    if (doc != nullptr) doc->EndStroke();
    m_bIgnoreDrag = false;
    if (doc == nullptr || !doc->HasBoards()) return false;
    if (m_bFloating) {
        // The click drops the floating pattern where it is shown.
        m_ptFloat = FloatCornerAt(point);
        const Rect area{m_ptFloat.x, m_ptFloat.y, m_ptFloat.x + m_floating.width - 1,
                        m_ptFloat.y + m_floating.height - 1};
        int64_t dropped = LiveCells(m_floating);
        doc->EditArea(UndoKind::Paste, area, [&](CellBoard& board) {
            dropped = PasteBlock(board, m_floating, m_ptFloat.x, m_ptFloat.y, 1);
        });
        m_bFloating = false;
        m_floating = CellBlock{};
        SetSelection(area);
        view_.UpdateStatusLine();
        if (dropped > 0) ReportDropped(dropped);
        return true;
    }
    if (m_bEditMode && (flags & MK_SHIFT) != 0) {
        RButtonDown(flags, point);
        return true;
    }
    if (m_bHasSelection) {
        const CPoint cell = view_.Viewport().ClientToCell(point);
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

bool EditingControl::SelectionMouseMove(unsigned flags, CPoint point) {
    if (m_bFloating) {
        const CPoint at = FloatCornerAt(point);
        if (at.x != m_ptFloat.x || at.y != m_ptFloat.y) {
            m_ptFloat = at;
            view_.Invalidate(false);
        }
        return true;
    }
    if (m_bIgnoreDrag && (flags & MK_LBUTTON) != 0) return true;
    if (!m_bSelecting) return false;
    if ((flags & (MK_LBUTTON | MK_RBUTTON)) == 0) {
        m_bSelecting = false;
        StopAutoScroll();
        return true;
    }
    DragSelectionTo(point);
    return true;
}

CPoint EditingControl::FloatCornerAt(CPoint point) const {
    const CPoint cell = view_.Viewport().ClientToCell(point);
    return CPoint{cell.x - m_floating.width / 2, cell.y - m_floating.height / 2};
}

void EditingControl::DragSelectionTo(CPoint point) {
    m_ptDrag = point;
    CRect client;
    view_.GetClientRect(&client);
    // How far the point is past an edge of the client area (0 inside).
    auto past = [](int p, int size) { return p < 0 ? p : p >= size ? p - size + 1 : 0; };
    const CSize by{past(point.x, client.Width()), past(point.y, client.Height())};
    const bool outside = by.cx != 0 || by.cy != 0;
    if (outside) view_.OnScrollBy(by, true);
    if (outside && m_hAutoScroll == 0) {
        m_hAutoScroll = view_.SetTimer(AUTOSCROLL_TIMER_ID, kAutoScrollMs);
    } else if (!outside) {
        StopAutoScroll();
    }
    SetSelection(Normalised(m_ptAnchor, ClampedCell(point)));
}

void EditingControl::AutoScroll() {
    if (!m_bSelecting) {
        StopAutoScroll();
        return;
    }
    DragSelectionTo(m_ptDrag);
}

void EditingControl::StopAutoScroll() {
    if (m_hAutoScroll == 0) return;
    view_.KillTimer(m_hAutoScroll);
    m_hAutoScroll = 0;
}

bool EditingControl::KeyDown(unsigned key) {
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

void EditingControl::LButtonUp() {
    if (CLifeDoc* doc = Document()) {
        doc->EndStroke();
        // The stroke's cells count in the status line and the graph.
        view_.UpdateStatusLine();
    }
    m_bSelecting = false;
    m_bIgnoreDrag = false;
    StopAutoScroll();
}

void EditingControl::RButtonDown(unsigned flags, CPoint point) {
    (void)flags;
    CLifeDoc* doc = Document();
    if (!m_bEditMode || m_bFloating || doc == nullptr || !doc->HasBoards()) return;
    doc->EndStroke();
    m_ptAnchor = ClampedCell(point);
    m_bSelecting = true;
    SetSelection(Normalised(m_ptAnchor, m_ptAnchor));
}

void EditingControl::RButtonUp() {
    m_bSelecting = false;
    StopAutoScroll();
}

void EditingControl::OnEditSelectAll() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    const Rect box = LiveCellBox(*doc->CurrentBoard());
    if (IsEmptyRect(box))
        DropSelection();
    else
        SetSelection(box);
}

void EditingControl::SelectCells(Rect box) {
    CLifeDoc* doc = DocumentWithBoards();
    if (doc == nullptr) return;
    if (IsEmptyRect(ClipToBoard(*doc->CurrentBoard(), box))) {
        DropSelection();
        view_.Invalidate(false);
        return;
    }
    SetSelection(box);
}

void EditingControl::OnEditSelectBoard() {
    if (CLifeDoc* doc = DocumentWithBoards()) SetSelection(InteriorOf(*doc->CurrentBoard()));
}

void EditingControl::OnEditCancel() {
    if (m_bFloating) {
        m_bFloating = false;
        m_floating = CellBlock{};
        view_.Invalidate(false);
        view_.KickIdle();
        return;
    }
    DropSelection();
}

void EditingControl::OnUpdateNeedsSelection(CCmdUI* pCmdUI) {
    CLifeDoc* doc = Document();
    pCmdUI->Enable(m_bHasSelection && !m_bFloating && doc != nullptr && doc->HasBoards());
}

void EditingControl::OnUpdateEditPaste(CCmdUI* pCmdUI) {
    CLifeDoc* doc = Document();
    pCmdUI->Enable(!m_bFloating && doc != nullptr && doc->HasBoards());
}

void EditingControl::OnUpdateEditCancel(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_bFloating || m_bHasSelection);
}

// --- Commands on the selection ----------------------------------------------------

void EditingControl::EditSelection(UndoKind kind, Rect area,
                                   const std::function<void(CellBoard&)>& edit) {
    if (!m_bHasSelection) return;
    EditBoardArea(kind, area, edit);
}

void EditingControl::EditBoardArea(UndoKind kind, Rect area,
                                   const std::function<void(CellBoard&)>& edit) {
    CLifeDoc* doc = DocumentWithBoards();
    if (doc == nullptr) return;
    doc->EditArea(kind, area, edit);
    view_.Invalidate(false);
    view_.UpdateStatusLine();
    view_.KickIdle();
}

void EditingControl::ReportDropped(int64_t dropped) {
    view_.MessageBox(DroppedCellsMessage(dropped), std::string(), MB_OK);
}

void EditingControl::OnEditCopy() {
    CLifeDoc* doc = Document();
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
            board->Set(x + 1, y + 1, block.cells[std::size_t(y) * std::size_t(block.width) + x]);
    MemoryByteSink sink;
    WriteRlePattern(*board, doc->GetRule(), sink, RleGrid::Plain);
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

void EditingControl::OnEditCut() {
    if (!m_bHasSelection) return;
    OnEditCopy();
    const Rect s = m_rcSelection;
    EditSelection(UndoKind::Cut, s, [s](CellBoard& board) { ClearRect(board, s); });
}

void EditingControl::OnEditClear() {
    const Rect s = m_rcSelection;
    EditSelection(UndoKind::Clear, s, [s](CellBoard& board) { ClearRect(board, s); });
}

void EditingControl::OnEditClearOutside() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    const CellBoard& current = *doc->CurrentBoard();
    const Rect s = m_rcSelection;
    EditSelection(UndoKind::ClearOutside, Rect{0, 0, current.width - 1, current.height - 1},
                  [s](CellBoard& board) { ClearOutsideRect(board, s); });
}

void EditingControl::OnEditFillRandom() {
    CLifeDoc* doc = DocumentWithBoards();
    if (doc == nullptr || m_bFloating) return;
    // The density is kept in the settings, so the next fill (in this run of
    // the program or a later one) offers the last one given.
    CWinApp* app = TheApp();
    if (app != nullptr)
        m_nFillPercent =
            std::clamp(app->GetProfileInt("Edit", "FillPercent", m_nFillPercent), 0, 100);
    CFillRandomDlg dlg(&view_);
    dlg.m_nPercent = m_nFillPercent;
    if (dlg.DoModal() != IDOK) return;
    m_nFillPercent = dlg.m_nPercent;
    if (app != nullptr) app->WriteProfileInt("Edit", "FillPercent", m_nFillPercent);
    const uint64_t seed = m_nFillSeed++;
    const int percent = m_nFillPercent;
    // Without a selection the whole interior is filled, as one undo step.
    const Rect s = m_bHasSelection ? m_rcSelection : InteriorOf(*doc->CurrentBoard());
    EditBoardArea(UndoKind::FillRandom, s,
                  [=](CellBoard& board) { FillRandomRect(board, s, percent, seed); });
}

void EditingControl::OnEditFlipHorizontal() {
    MoveSelectedCells(UndoKind::FlipHorizontal, false, true);
}

void EditingControl::OnEditFlipVertical() {
    MoveSelectedCells(UndoKind::FlipVertical, false, false);
}

void EditingControl::OnEditRotateClockwise() {
    MoveSelectedCells(UndoKind::RotateClockwise, true, true);
}

void EditingControl::OnEditRotateAnticlockwise() {
    MoveSelectedCells(UndoKind::RotateAnticlockwise, true, false);
}

void EditingControl::MoveSelectedCells(UndoKind kind, bool turn, bool sense) {
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

void EditingControl::OnEditPaste() {
    CLifeDoc* doc = Document();
    if (doc == nullptr || !doc->HasBoards()) return;
    const std::optional<std::string> text = ClipboardText();
    if (!text) {
        view_.MessageBox(kNothingToPasteMessage, std::string(), MB_OK);
        return;
    }
    const CellBoard& current = *doc->CurrentBoard();
    std::unique_ptr<CellBoard> scratch = CellBoard::Create(current.width, current.height);
    if (!scratch) {
        if (CLifeAppBase* app = LifeApp()) app->OnCellMemoryFailure();
        return;
    }
    // A paste keeps the rule in force; the one the text gives is dropped.
    Rule pastedRule;
    struct Keeper final : PatternReporter {
        void ShowMessage(const std::string& t) override { message = t; }
        std::string message;
    } reporter;
    MemoryByteSource source(*text);
    const bool read = ReadPattern(*scratch, source, reporter, pastedRule);
    const Rect box = LiveCellBox(*scratch);
    if (!read) {
        // A pattern wider or taller than the board, or one whose own
        // position lies off it.
        view_.MessageBox(
            reporter.message.rfind(PatternTooBigMessage(current.width, current.height), 0) == 0
                ? PasteTooLargeMessage(current.width, current.height)
                : reporter.message,
            std::string(), MB_OK);
        return;
    }
    if (IsEmptyRect(box)) {
        view_.MessageBox(kNothingToPasteMessage, std::string(), MB_OK);
        return;
    }
    if (box.right - box.left + 1 > current.width - 2 ||
        box.bottom - box.top + 1 > current.height - 2) {
        view_.MessageBox(PasteTooLargeMessage(current.width, current.height), std::string(), MB_OK);
        return;
    }
    m_floating = CopyRect(*scratch, box);
    m_bFloating = true;
    // Under the pointer at once when it is over the view, else under the
    // middle of the view until the pointer comes.
    CRect client;
    view_.GetClientRect(&client);
    const std::optional<CPoint> pointer = Platform().Windows().PointerPosition(view_);
    m_ptFloat = FloatCornerAt(pointer ? *pointer : CPoint{client.Width() / 2, client.Height() / 2});
    view_.Invalidate(false);
    view_.KickIdle();
}

// --- Drawing -------------------------------------------------------------------------

void EditingControl::DrawSelection(CDC& dc) {
    if (!m_bHasSelection && !m_bFloating) return;
    const ViewportControl& viewport = view_.Viewport();
    CRect client;
    view_.GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    // A block of cells covers the client area from its first cell's top-left
    // pixel to its last cell's bottom-right one, as the board is drawn.
    auto onScreen = [&](const Rect& r) {
        const CRect first = viewport.CellToClient(CPoint{r.left, r.top});
        const CRect last = viewport.CellToClient(CPoint{r.right, r.bottom});
        return CRect{first.left, first.top, last.right, last.bottom};
    };
    auto outline = [&](const Rect& r) {
        const CRect c = onScreen(r);
        const int l = c.left, t = c.top, rr = c.right, b = c.bottom;
        if (rr < -2 || b < -2 || l > w + 2 || t > h + 2) return;
        const uint32_t colours[2] = {kOutlineDark, kOutlineLight};
        for (int i = 0; i < 2; ++i) {
            const int o = i == 0 ? -1 : 0;  // the dark line outside, the light one inside
            dc.FillSolidRect(CRect{l + o, t + o, rr - o, t + o + 1}, colours[i]);
            dc.FillSolidRect(CRect{l + o, b - o - 1, rr - o, b - o}, colours[i]);
            dc.FillSolidRect(CRect{l + o, t + o, l + o + 1, b - o}, colours[i]);
            dc.FillSolidRect(CRect{rr - o - 1, t + o, rr - o, b - o}, colours[i]);
        }
    };
    if (m_bHasSelection) outline(m_rcSelection);
    if (!m_bFloating) return;
    const Rect f{m_ptFloat.x, m_ptFloat.y, m_ptFloat.x + m_floating.width - 1,
                 m_ptFloat.y + m_floating.height - 1};
    // The floating cells that are in view, in whichever outline colour
    // stands out from the dead cells (light over a dark board, dark over a
    // light one), so that they show over the empty board they land on.
    uint32_t cellColour = kOutlineLight;
    if (CLifeDoc* doc = Document(); doc != nullptr && doc->HasBoards()) {
        const ColourEntry& dead = doc->CurrentBoard()->colours[0];
        if (299 * dead.red + 587 * dead.green + 114 * dead.blue > 128000) cellColour = kOutlineDark;
    }
    const CPoint topLeft = viewport.ClientToCell(CPoint{0, 0});
    const CPoint bottomRight =
        viewport.ClientToCell(CPoint{std::max(w - 1, 0), std::max(h - 1, 0)});
    const int firstX = std::max(0, topLeft.x - f.left),
              lastX = std::min(m_floating.width - 1, bottomRight.x - f.left);
    const int firstY = std::max(0, topLeft.y - f.top),
              lastY = std::min(m_floating.height - 1, bottomRight.y - f.top);
    for (int y = firstY; y <= lastY; ++y)
        for (int x = firstX; x <= lastX; ++x)
            if (m_floating.cells[std::size_t(y) * std::size_t(m_floating.width) + std::size_t(x)])
                dc.FillSolidRect(viewport.CellToClient(CPoint{f.left + x, f.top + y}), cellColour);
    outline(f);
}

}  // namespace cellarium

// Editing the board by hand: edit mode with the stylus, undo and redo, the
// rectangular selection and what is done with it (copy, cut, clear, clear
// outside, fill, flips and quarter turns), and paste as a pattern floating
// under the pointer until a click drops it.
//
// The selection and the floating paste are the view's, like the stylus;
// every change they make to the board goes through the document as one undo
// step.
#pragma once

#include <cstdint>
#include <functional>

#include "document/undo_history.h"
#include "document/view_control.h"
#include "engine/region_edit.h"
#include "framework/types.h"

namespace cellarium {

class CCmdUI;
class CDC;
class CellBoard;

class EditingControl final : public ViewControl {
public:
    // While a selecting drag is held past the view's edge, this timer
    // scrolls the view on towards the pointer.
    static constexpr unsigned AUTOSCROLL_TIMER_ID = 24;
    static constexpr unsigned kAutoScrollMs = 50;

    using ViewControl::ViewControl;
    bool OnCmdMsg(const CmdMsg& msg) override;

    bool EditMode() const { return m_bEditMode; }
    bool HasSelection() const { return m_bHasSelection; }
    // Inclusive cells, on the board; meaningful while HasSelection.
    Rect Selection() const { return m_rcSelection; }
    bool Floating() const { return m_bFloating; }

    // The pointer's messages, after the framework's own handling: the
    // selection or a floating paste first, then the stylus.
    void LButtonDown(unsigned flags, CPoint point);
    void MouseMove(unsigned flags, CPoint point);
    // The stylus lifted: ends a stroke (one undo step) or a selecting drag.
    void LButtonUp();
    // In edit mode a drag with the right button, or the left with Shift,
    // selects a rectangle of cells.
    void RButtonDown(unsigned flags, CPoint point);
    void RButtonUp();
    // Esc drops a floating paste or the selection, Delete clears the
    // selection; true when the key was taken.
    bool KeyDown(unsigned key);
    // The selection's outline and a floating paste over the board.
    void DrawSelection(CDC& dc);
    // The autoscroll timer's tick.
    void AutoScroll();

    // The stylus at a client point in edit mode: draws the cell under it (or
    // erases it while the status strip's Erase box is ticked). A point with
    // no board cell under it is ignored. A stroke continued by a drag edits
    // the whole line of cells from the last point to this one.
    void EditCellAt(CPoint point, bool continueStroke = false);

    void OnEditMode();
    void OnUpdateEditMode(CCmdUI* pCmdUI);
    // Undo and Redo name the step in the menu ("Undo Draw"); a run going on
    // is paused first.
    void OnEditUndo();
    void OnEditRedo();
    void OnUpdateEditUndo(CCmdUI* pCmdUI);
    void OnUpdateEditRedo(CCmdUI* pCmdUI);
    // Copy puts the selected cells on the clipboard as RLE text with LF line
    // ends; Cut copies, then clears.
    void OnEditCopy();
    void OnEditCut();
    // Reads the clipboard as a pattern and floats it under the pointer until
    // a click drops it (or Esc cancels).
    void OnEditPaste();
    void OnEditClear();
    void OnEditClearOutside();
    // Fill Random...: the selection, or without one the whole interior.
    void OnEditFillRandom();
    void OnEditFlipHorizontal();
    void OnEditFlipVertical();
    void OnEditRotateClockwise();
    void OnEditRotateAnticlockwise();
    // Selects the box around the live cells.
    void OnEditSelectAll();
    // Selects the whole interior of the board.
    void OnEditSelectBoard();
    // Selects the cells of box on the board (none when nothing of it is).
    void SelectCells(Rect box);
    // Drops a floating paste, else the selection.
    void OnEditCancel();
    void OnUpdateNeedsSelection(CCmdUI* pCmdUI);
    void OnUpdateEditPaste(CCmdUI* pCmdUI);
    void OnUpdateEditCancel(CCmdUI* pCmdUI);

private:
    // Pauses a run, then takes a step back (or forward again) with its counters.
    void UndoOrRedo(bool redo);
    // A flip (sense: horizontal) or a quarter turn (sense: clockwise) of the
    // selected cells in place, as one undo step; cells that would leave the
    // board are dropped and counted.
    void MoveSelectedCells(UndoKind kind, bool turn, bool sense);
    // Called first by the stylus handlers: true when the selection or a
    // floating paste took the event.
    bool SelectionButtonDown(unsigned flags, CPoint point);
    bool SelectionMouseMove(unsigned flags, CPoint point);
    // The board cell under a client point, brought onto the board.
    CPoint ClampedCell(CPoint point) const;
    // The board cell under the floating pattern's top-left cell while the
    // pointer is at a client point: the pattern's middle cell under it.
    CPoint FloatCornerAt(CPoint point) const;
    // A selecting drag at point: past the view's edge the view scrolls
    // towards it (by as far as it is past) and the timer keeps it going;
    // then the selection reaches the cell under it.
    void DragSelectionTo(CPoint point);
    void StopAutoScroll();
    void SetSelection(Rect cells);
    void DropSelection();
    // Shows the selection's size in place of the Edit Mode label.
    void UpdateSelectionLabel();
    // One selection command as one undo step, redrawn afterwards.
    void EditSelection(UndoKind kind, Rect area, const std::function<void(CellBoard&)>& edit);
    // The same for any area, with or without a selection.
    void EditBoardArea(UndoKind kind, Rect area, const std::function<void(CellBoard&)>& edit);
    void ReportDropped(int64_t dropped);
    // Draws or erases one cell of the board (on the board).
    void EditCell(CPoint cell, bool erase);

    bool m_bEditMode = false;
    // The cell the stylus edited last in the stroke under way.
    CPoint m_ptStroke{};
    bool m_bStroke = false;
    bool m_bHasSelection = false;
    Rect m_rcSelection{};
    bool m_bSelecting = false;
    bool m_bIgnoreDrag = false;  // the press only removed the selection
    CPoint m_ptAnchor{};         // the cell a selecting drag started at
    CPoint m_ptDrag{};           // the client point it is at now
    TimerHandle m_hAutoScroll = 0;
    bool m_bFloating = false;
    CellBlock m_floating;
    CPoint m_ptFloat{};  // the board cell under the floating pattern's top-left cell
    int m_nFillPercent = 50;
    uint64_t m_nFillSeed = 1;
};

}  // namespace cellarium

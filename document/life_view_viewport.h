// The view's geometry: the zoom, the scroll extent with its margin around the
// board, the one-time centring on a remembered point, the drawing of the
// visible block of the board and of the margin, Zoom In and Zoom Out, Fit to
// Screen, Find First and Find Next, Rotate Left and Center, and the arrow keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/view_control.h"
#include "framework/types.h"

namespace cellarium {

class CCmdUI;
class CDC;

class ViewportControl final : public ViewControl {
public:
    static constexpr uint32_t kMinZoom = 1;
    static constexpr uint32_t kMaxZoom = 32;
    // Zoomed out, a pixel shows a block of up to 64 x 64 cells: the largest
    // board then fits a window.
    static constexpr uint32_t kMaxShrink = 64;
    // Pixels of margin around the board in the scroll extent.
    static constexpr int kBoardMargin = 16;
    // A faint grid between the cells from this zoom up: the setting
    // "View"/"Grid" (0 or 1, off unless set), read when a document opens.
    static constexpr uint32_t kGridZoom = 8;

    using ViewControl::ViewControl;
    bool OnCmdMsg(const CmdMsg& msg) override;

    // Screen pixels per cell: 1, 2, 4, 8, 16 or 32 (1 while zoomed out).
    uint32_t Zoom() const { return m_nZoom; }
    // Cells per screen pixel along each axis zoomed out: 1, 2, 4 ... 64 (1
    // while zoomed in or at 1:1).
    uint32_t Shrink() const { return m_nShrink; }
    // The zoom as the status line shows it: "x4", or "x1/4" zoomed out.
    std::string ZoomText() const;
    // The cell Find examined last.
    CPoint FindCursor() const { return m_ptFind; }
    bool LayoutPending() const { return m_bLayoutPending; }
    // The next draw sets the scroll extent for the zoom and scrolls (to the
    // remembered point, or to the middle of the board).
    void MarkLayoutPending() { m_bLayoutPending = true; }

    // A document has been opened or made new: the extent of its board at the
    // zoom in use and a layout that shows the middle of it.
    void InitialUpdate();
    // Sets the scroll extent for the zoom and scrolls to the remembered
    // centre (or the middle of the board) when a layout is pending.
    void LayoutIfPending();
    // One copy of the visible block of the board, stretched by the zoom, and
    // the grid over it.
    void DrawBoard(CDC& dc);
    // Paints the client area outside the board: the margin colour with a
    // frame line along the board's edge.
    void PaintMargin(CDC& dc);

    // The board cell drawn under a client-area point: every pixel of a drawn
    // cell gives that cell. The cell may lie outside the board (negative, or
    // past the last column or row); see IsOnBoard.
    CPoint ClientToCell(CPoint point) const;
    // The client-area rectangle a cell covers at this zoom and scroll.
    CRect CellToClient(CPoint cell) const;
    // Whether a cell is one of the current board's.
    bool IsOnBoard(CPoint cell) const;
    // The board pixel (at this zoom) at the client area's top-left corner:
    // the scroll position less the margin.
    CPoint BoardScroll() const;
    // Remembers the point of the board at the middle of the client area (or
    // under the pointer while a zoom it asked for runs), to the pixel, as the
    // point the next layout brings back there, and marks the layout pending.
    void RememberCenter();
    // Brings a cell's top-left corner to the middle of the client area at the
    // next layout.
    void CenterOnCell(CPoint cell);
    // Fit to Screen with the zoom in kept to largest: the zoom at which the
    // live cells fit the client area, centred on them.
    void FitPattern(uint32_t largest);
    // The arrow keys scroll by a line; true when the key was one of them.
    bool KeyDown(unsigned key);

    void OnZoomIn();
    void OnZoomOut();
    void OnFitToScreen();
    void OnFindFirst();
    void OnFindNext();
    void OnCenter();
    void OnRotateLeft();
    // Grid: shows or hides the grid between cells, kept in the settings.
    void OnViewGrid();
    void OnUpdateViewGrid(CCmdUI* pCmdUI);
    void OnUpdateZoomIn(CCmdUI* pCmdUI);
    void OnUpdateZoomOut(CCmdUI* pCmdUI);

private:
    // The board's extent in pixels of this zoom, and the conversions between
    // board pixels (from the board's top-left corner) and cells; floors.
    int BoardPixels(int cells) const;
    long long PixelToCell(long long pixel) const;
    long long CellToPixel(long long cell) const;
    long long FineToPixel(long long fine) const;

    uint32_t m_nZoom = 1;
    uint32_t m_nShrink = 1;
    // The shrunk picture of the client area, kept between paints.
    std::vector<uint8_t> m_shrunk;
    // The cell whose top-left corner Find and Fit to Screen bring to the
    // middle of the client area.
    CPoint m_ptCenter{};
    // When m_bRecenter is set the next layout brings the board point
    // m_ptCenterFine (in kFineUnits per cell) to the client point
    // m_ptCenterAt (else the layout goes to the middle of the board).
    static constexpr int kFineUnits = 64;
    CPoint m_ptCenterFine{};
    CPoint m_ptCenterAt{};
    bool m_bRememberedValid = false;  // m_ptCenterFine was set by RememberCenter
    bool m_bRecenter = false;
    // The scroll position the last layout to a remembered point gave.
    CPoint m_ptLaidOut{};
    bool m_bLaidOut = false;
    bool m_bLayoutPending = true;
    CPoint m_ptFind{};
    bool m_bGrid = false;
};

}  // namespace cellarium

// Views. CView draws its document through OnDraw; CScrollView scrolls a
// virtual canvas of fixed size (one logical unit per device pixel), keeps the
// scroll position inside 0 .. extent - client size on each axis, and scrolls
// by lines and pages.
#pragma once

#include <optional>

#include "framework/platform_services.h"
#include "framework/wnd.h"

namespace cellarium {

class CDocument;
class CFrameWnd;

// A drawing context over the surface a paint hands out. It is not offset by
// the scroll position; views apply it themselves.
class CDC {
public:
    explicit CDC(DrawingSurface& surface) : surface_(surface) {}
    void StretchImage(const IndexedImage& image, const CRect& src, const CRect& dst) {
        surface_.StretchImage(image, src, dst);
    }
    // A plain copy of a w x h block.
    void CopyImage(const IndexedImage& image, CPoint src, CPoint dst, int w, int h) {
        surface_.StretchImage(image, CRect{src.x, src.y, src.x + w, src.y + h},
                              CRect{dst.x, dst.y, dst.x + w, dst.y + h});
    }
    void FillSolidRect(const CRect& rect, uint32_t rgb) { surface_.FillSolid(rect, rgb); }

private:
    DrawingSurface& surface_;
};

class CView : public CWnd {
public:
    CDocument* GetDocument() const { return m_pDocument; }
    CFrameWnd* GetParentFrame() const { return m_pFrame; }

    // Called when a document has been opened or created in the view; the
    // base repaints the whole view.
    virtual void OnInitialUpdate() { Invalidate(true); }
    virtual void OnDraw(CDC* pDC) = 0;
    void OnPaint(CDC& dc) override { OnDraw(&dc); }

    // The view's own handlers first, then its document's.
    bool OnCmdMsg(const CmdMsg& msg) override;

    // Wiring done by the frame and the template.
    void AttachTo(CFrameWnd* frame, CDocument* doc) {
        m_pFrame = frame;
        m_pDocument = doc;
    }

protected:
    CDocument* m_pDocument = nullptr;
    CFrameWnd* m_pFrame = nullptr;
};

// Passing this for a page or line size asks for the default: a page is a
// tenth of the extent and a line a tenth of a page.
inline constexpr CSize sizeDefault{0, 0};
inline constexpr int MM_TEXT = 1;

class CScrollView : public CView {
public:
    void SetScrollSizes(int mapMode, CSize total, CSize page = sizeDefault,
                        CSize line = sizeDefault);
    // Scrolls to pt, brought into the scrollable range.
    void ScrollToPosition(CPoint pt);
    CPoint GetScrollPosition() const { return m_ptScroll; }
    CSize GetTotalSize() const { return m_totalLog; }
    CSize GetPageSize() const { return m_pageDev; }
    CSize GetLineSize() const { return m_lineDev; }

    // Scrolls by a scroll-bar code on either axis; returns whether the view
    // moved.
    bool OnScroll(bool horizontal, unsigned code, unsigned pos, bool doScroll = true);
    // The hook every scroll goes through: moves by the amount, clamped, and
    // reports whether the view moved. Overrides call the base.
    virtual bool OnScrollBy(CSize sizeScroll, bool doScroll = true);

    void OnHScroll(unsigned code, unsigned pos) override { OnScroll(true, code, pos); }
    void OnVScroll(unsigned code, unsigned pos) override { OnScroll(false, code, pos); }
    void OnSize(int cx, int cy) override;

    // The highest scroll position on each axis for the current client size.
    CSize MaxScroll() const;

    // Where the pointer is while a zoom command it sent (Ctrl and the wheel)
    // runs, nothing otherwise: the view keeps the point under it in place.
    void SetPointerAnchor(std::optional<CPoint> point) { m_pointerAnchor = point; }
    std::optional<CPoint> PointerAnchor() const { return m_pointerAnchor; }

protected:
    std::optional<CPoint> m_pointerAnchor;
    CSize m_totalLog{};
    CSize m_pageDev{};
    CSize m_lineDev{};
    CPoint m_ptScroll{};
};

}  // namespace cellarium

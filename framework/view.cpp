#include "framework/view.h"

#include <algorithm>

#include "framework/document.h"
#include "framework/win_app.h"

namespace cellarium {

bool CView::OnCmdMsg(const CmdMsg& msg) {
    if (CWnd::OnCmdMsg(msg)) return true;
    return m_pDocument != nullptr && m_pDocument->OnCmdMsg(msg);
}

void CScrollView::SetScrollSizes(int, CSize total, CSize page, CSize line) {
    m_totalLog = CSize{std::max(total.cx, 0), std::max(total.cy, 0)};
    m_pageDev = page;
    if (m_pageDev.cx == 0) m_pageDev.cx = m_totalLog.cx / 10;
    if (m_pageDev.cy == 0) m_pageDev.cy = m_totalLog.cy / 10;
    m_lineDev = line;
    if (m_lineDev.cx == 0) m_lineDev.cx = m_pageDev.cx / 10;
    if (m_lineDev.cy == 0) m_lineDev.cy = m_pageDev.cy / 10;
    // A smaller extent may leave the position out of range.
    ScrollToPosition(m_ptScroll);
    if (IsWindowCreated()) Platform().Windows().ScrollStateChanged(*this);
}

CSize CScrollView::MaxScroll() const {
    CRect client;
    GetClientRect(&client);
    return CSize{std::max(m_totalLog.cx - client.Width(), 0),
                 std::max(m_totalLog.cy - client.Height(), 0)};
}

void CScrollView::ScrollToPosition(CPoint pt) {
    const CSize max = MaxScroll();
    CPoint clamped{std::clamp(pt.x, 0, max.cx), std::clamp(pt.y, 0, max.cy)};
    if (clamped == m_ptScroll) return;
    m_ptScroll = clamped;
    Invalidate(false);
    if (IsWindowCreated()) Platform().Windows().ScrollStateChanged(*this);
}

bool CScrollView::OnScroll(bool horizontal, unsigned code, unsigned pos, bool doScroll) {
    const int current = horizontal ? m_ptScroll.x : m_ptScroll.y;
    const int line = horizontal ? m_lineDev.cx : m_lineDev.cy;
    const int page = horizontal ? m_pageDev.cx : m_pageDev.cy;
    const CSize max = MaxScroll();
    const int top = horizontal ? max.cx : max.cy;
    int target = current;
    switch (code) {
        case SB_LINEUP:
            target = current - line;
            break;
        case SB_LINEDOWN:
            target = current + line;
            break;
        case SB_PAGEUP:
            target = current - page;
            break;
        case SB_PAGEDOWN:
            target = current + page;
            break;
        case SB_THUMBTRACK:
            target = int(pos);
            break;
        case SB_TOP:
            target = 0;
            break;
        case SB_BOTTOM:
            target = top;
            break;
        default:
            return false;
    }
    CSize delta = horizontal ? CSize{target - current, 0} : CSize{0, target - current};
    return OnScrollBy(delta, doScroll);
}

bool CScrollView::OnScrollBy(CSize sizeScroll, bool doScroll) {
    const CSize max = MaxScroll();
    CPoint next{std::clamp(m_ptScroll.x + sizeScroll.cx, 0, max.cx),
                std::clamp(m_ptScroll.y + sizeScroll.cy, 0, max.cy)};
    if (next == m_ptScroll) return false;
    if (doScroll) {
        m_ptScroll = next;
        Invalidate(false);
        if (IsWindowCreated()) Platform().Windows().ScrollStateChanged(*this);
    }
    return true;
}

void CScrollView::OnSize(int, int) {
    ScrollToPosition(m_ptScroll);
}

}  // namespace cellarium

// The widget that shows a scrolling view: a scroll area whose bars follow the
// view's extent and position, whose viewport paints through the view's own
// OnPaint, and which passes the mouse (as the stylus), the keys and the
// wheel on to the view.
//
// The view's client coordinates are the viewport's device pixels: at any
// scale factor a view can then draw each board cell as the same whole number
// of pixels, and the pointer lands on the pixel it is over.
#pragma once

#include <QAbstractScrollArea>

#include "framework/types.h"

namespace cellarium {

class CScrollView;
class QtWindows;

class QtViewWidget final : public QAbstractScrollArea {
    Q_OBJECT
public:
    QtViewWidget(QtWindows& windows, CScrollView& view, QWidget* parent);

    // The view is going away: nothing more is delivered to it.
    void Detach() { view_ = nullptr; }
    CScrollView* View() const { return view_; }

    // Marks all of the viewport (rect null) or a rectangle for painting.
    void InvalidateView(const CRect* rect, bool erase);
    // Paints what is marked at once.
    void PaintNow();
    // Brings the scroll bars to the view's extent and position.
    void SyncScrollBars();
    CRect ClientRect() const;
    // The client point (device pixels) of a point of the viewport.
    CPoint ToClient(QPointF point) const;
    int PaintCount() const { return paints_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    double Ratio() const;
    void OnBarAction(bool horizontal, int action);
    void OnBarValue(bool horizontal, int value);

    QtWindows& windows_;
    CScrollView* view_;
    bool pending_ = false;  // a paint was asked for and has not happened
    bool erase_ = false;    // the pending paint erases the background first
    bool syncing_ = false;  // the bars are being set from the view
    int paints_ = 0;
    int wheelRemainder_ = 0;
};

// The framework's key code for a Qt key (0 when it has none).
unsigned FrameworkKeyCode(int qtKey);

}  // namespace cellarium

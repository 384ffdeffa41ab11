#include "platform/qt/qt_view_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

#include "framework/frame_wnd.h"
#include "framework/view.h"
#include "framework/win_app.h"
#include "platform/qt/qt_surface.h"
#include "platform/qt/qt_windows.h"

namespace cellarium {

unsigned FrameworkKeyCode(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return unsigned('A' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return unsigned('0' + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return VK_F1 + unsigned(qtKey - Qt::Key_F1);
    switch (qtKey) {
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
            return VK_MENU;
        case Qt::Key_Plus:
            return VK_OEM_PLUS;
        case Qt::Key_Minus:
            return VK_OEM_MINUS;
        default:
            return 0;
    }
}

QtViewWidget::QtViewWidget(QtWindows& windows, CScrollView& view, QWidget* parent)
    : QAbstractScrollArea(parent), windows_(windows), view_(&view) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    // Every paint covers the whole invalid area itself (board and margin):
    // nothing needs clearing first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    // Moves without a button too: a floating paste follows the pointer.
    viewport()->setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { OnBarAction(true, action); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { OnBarAction(false, action); });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { OnBarValue(true, value); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { OnBarValue(false, value); });
}

double QtViewWidget::Ratio() const {
    const double r = viewport()->devicePixelRatioF();
    return r > 0 ? r : 1.0;
}

CRect QtViewWidget::ClientRect() const {
    const QSize s = viewport()->size();
    const double r = Ratio();
    return CRect{0, 0, int(std::lround(s.width() * r)), int(std::lround(s.height() * r))};
}

CPoint QtViewWidget::ToClient(QPointF point) const {
    const double r = Ratio();
    auto clamp = [](double v) {
        return int(std::clamp(std::floor(v), double(INT32_MIN), double(INT32_MAX)));
    };
    return CPoint{clamp(point.x() * r), clamp(point.y() * r)};
}

void QtViewWidget::InvalidateView(const CRect* rect, bool erase) {
    pending_ = true;
    erase_ = erase_ || erase;
    if (rect == nullptr) {
        viewport()->update();
        return;
    }
    // Device pixels to the logical pixels that cover them.
    const double r = Ratio();
    const int left = int(std::floor(rect->left / r)), top = int(std::floor(rect->top / r));
    const int right = int(std::ceil(rect->right / r)), bottom = int(std::ceil(rect->bottom / r));
    viewport()->update(QRect(left, top, right - left, bottom - top));
}

void QtViewWidget::PaintNow() {
    if (pending_ && viewport()->isVisible()) viewport()->repaint();
}

void QtViewWidget::paintEvent(QPaintEvent*) {
    // A paint the program did not ask for (first show, uncovering, a grab)
    // erases too: the margin outside the board has to be drawn then.
    const bool erase = erase_ || !pending_;
    pending_ = false;
    erase_ = false;
    if (view_ == nullptr || !windows_.Delivering()) {
        QPainter painter(viewport());
        painter.fillRect(viewport()->rect(), Qt::black);
        return;
    }
    ++paints_;
    QPainter painter(viewport());
    QtSurface surface(painter, QtSurface::DeviceUnits);
    CDC dc(surface);
    if (erase) view_->OnEraseBkgnd(dc);
    view_->OnPaint(dc);
}

void QtViewWidget::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (view_ == nullptr) return;
    const CRect client = ClientRect();
    view_->OnSize(client.Width(), client.Height());
    SyncScrollBars();
}

void QtViewWidget::SyncScrollBars() {
    if (view_ == nullptr) return;
    const CSize max = view_->MaxScroll();
    const CPoint pos = view_->GetScrollPosition();
    const CSize line = view_->GetLineSize();
    const CRect client = ClientRect();
    syncing_ = true;
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, max.cx);
    h->setPageStep(std::max(client.Width(), 1));
    h->setSingleStep(std::max(line.cx, 1));
    h->setValue(pos.x);
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, max.cy);
    v->setPageStep(std::max(client.Height(), 1));
    v->setSingleStep(std::max(line.cy, 1));
    v->setValue(pos.y);
    syncing_ = false;
}

void QtViewWidget::OnBarAction(bool horizontal, int action) {
    if (view_ == nullptr || syncing_ || !windows_.Delivering()) return;
    QScrollBar* bar = horizontal ? horizontalScrollBar() : verticalScrollBar();
    unsigned code = 0;
    unsigned pos = 0;
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            code = SB_LINEDOWN;
            break;
        case QAbstractSlider::SliderSingleStepSub:
            code = SB_LINEUP;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            code = SB_PAGEDOWN;
            break;
        case QAbstractSlider::SliderPageStepSub:
            code = SB_PAGEUP;
            break;
        case QAbstractSlider::SliderToMinimum:
            code = SB_TOP;
            break;
        case QAbstractSlider::SliderToMaximum:
            code = SB_BOTTOM;
            break;
        case QAbstractSlider::SliderMove:
            code = SB_THUMBTRACK;
            pos = unsigned(std::max(bar->sliderPosition(), 0));
            break;
        default:
            return;
    }
    windows_.NoteActivity();
    if (horizontal)
        view_->OnHScroll(code, pos);
    else
        view_->OnVScroll(code, pos);
    // The bar shows where the view went, whatever the bar computed itself.
    SyncScrollBars();
}

void QtViewWidget::OnBarValue(bool horizontal, int value) {
    // Bar movements that came without an action (none expected, but the
    // view must never disagree with its bars).
    if (view_ == nullptr || syncing_ || !windows_.Delivering()) return;
    const CPoint pos = view_->GetScrollPosition();
    if ((horizontal ? pos.x : pos.y) == value) return;
    if (horizontal)
        view_->OnHScroll(SB_THUMBTRACK, unsigned(std::max(value, 0)));
    else
        view_->OnVScroll(SB_THUMBTRACK, unsigned(std::max(value, 0)));
    SyncScrollBars();
}

void QtViewWidget::scrollContentsBy(int, int) {
    // The view repaints itself when it scrolls.
}

namespace {

// The framework's mouse flags for the buttons held and the Shift key.
unsigned MouseFlags(const QMouseEvent& event) {
    unsigned flags = 0;
    if (event.buttons() & Qt::LeftButton) flags |= MK_LBUTTON;
    if (event.buttons() & Qt::RightButton) flags |= MK_RBUTTON;
    if (event.modifiers() & Qt::ShiftModifier) flags |= MK_SHIFT;
    return flags;
}

}  // namespace

void QtViewWidget::mousePressEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    if (view_ == nullptr || !windows_.Delivering() ||
        (!left && event->button() != Qt::RightButton)) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    windows_.NoteActivity();
    if (left)
        view_->OnLButtonDown(MouseFlags(*event), ToClient(event->position()));
    else
        view_->OnRButtonDown(MouseFlags(*event), ToClient(event->position()));
}

void QtViewWidget::mouseReleaseEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    if (view_ == nullptr || !windows_.Delivering() ||
        (!left && event->button() != Qt::RightButton)) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    windows_.NoteActivity();
    if (left)
        view_->OnLButtonUp(MouseFlags(*event), ToClient(event->position()));
    else
        view_->OnRButtonUp(MouseFlags(*event), ToClient(event->position()));
}

void QtViewWidget::mouseMoveEvent(QMouseEvent* event) {
    if (view_ == nullptr || !windows_.Delivering()) return;
    // A pointer passing over the view is no activity the command states
    // need refreshing for.
    if (event->buttons() != Qt::NoButton) windows_.NoteActivity();
    view_->OnMouseMove(MouseFlags(*event), ToClient(event->position()));
}

void QtViewWidget::wheelEvent(QWheelEvent* event) {
    if (view_ == nullptr || !windows_.Delivering()) return;
    windows_.NoteActivity();
    const QPoint angle = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        // One zoom step per notch of the wheel, about the point under the
        // pointer.
        wheelRemainder_ += angle.y();
        view_->SetPointerAnchor(ToClient(event->position()));
        while (wheelRemainder_ >= 120 && view_ != nullptr) {
            wheelRemainder_ -= 120;
            windows_.ChooseCommand(windows_.ZoomCommands().first);
        }
        while (wheelRemainder_ <= -120 && view_ != nullptr) {
            wheelRemainder_ += 120;
            windows_.ChooseCommand(windows_.ZoomCommands().second);
        }
        if (view_ != nullptr) view_->SetPointerAnchor(std::nullopt);
        event->accept();
        return;
    }
    // Three lines a notch, or the exact pixels a touchpad reports (logical
    // pixels, so as many device pixels as they cover).
    const CSize line = view_->GetLineSize();
    CSize by{};
    const QPoint pixels = event->pixelDelta();
    QPoint delta = angle;
    if (event->modifiers() & Qt::ShiftModifier) delta = QPoint(delta.y(), delta.x());
    if (!pixels.isNull() && !(event->modifiers() & Qt::ShiftModifier)) {
        by =
            CSize{-int(std::lround(pixels.x() * Ratio())), -int(std::lround(pixels.y() * Ratio()))};
    } else {
        by = CSize{-delta.x() * 3 * std::max(line.cx, 1) / 120,
                   -delta.y() * 3 * std::max(line.cy, 1) / 120};
    }
    if (by.cx != 0 || by.cy != 0) view_->OnScrollBy(by, true);
    SyncScrollBars();
    event->accept();
}

void QtViewWidget::keyPressEvent(QKeyEvent* event) {
    const unsigned code = FrameworkKeyCode(event->key());
    if (view_ == nullptr || !windows_.Delivering() || code == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    windows_.NoteActivity();
    view_->OnKeyDown(code, event->isAutoRepeat() ? 2u : 1u, 0);
    SyncScrollBars();
    event->accept();
}

}  // namespace cellarium

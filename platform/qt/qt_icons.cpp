// The toolbar's glyphs, drawn here rather than shipped as images: simple
// dark shapes that stay sharp at any device-pixel ratio.
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "platform/qt/qt_windows.h"

namespace cellarium {
namespace {

// Draws on a size x size logical canvas.
void DrawGlyph(QPainter& p, ToolGlyph glyph, double size) {
    const double u = size / 16.0;  // one unit of the 16-unit grid
    const QColor ink(0x30, 0x30, 0x30);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto triangle = [&](double left, double right) {
        QPainterPath path;
        path.moveTo(left * u, 3 * u);
        path.lineTo(right * u, 8 * u);
        path.lineTo(left * u, 13 * u);
        path.closeSubpath();
        p.drawPath(path);
    };
    auto magnifier = [&](bool plus) {
        QPen pen(ink, 1.6 * u);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(6.5 * u, 6.5 * u), 4.5 * u, 4.5 * u);
        QPen handle(ink, 2.6 * u);
        handle.setCapStyle(Qt::RoundCap);
        p.setPen(handle);
        p.drawLine(QPointF(10 * u, 10 * u), QPointF(14.5 * u, 14.5 * u));
        p.setPen(pen);
        p.drawLine(QPointF(4.3 * u, 6.5 * u), QPointF(8.7 * u, 6.5 * u));
        if (plus) p.drawLine(QPointF(6.5 * u, 4.3 * u), QPointF(6.5 * u, 8.7 * u));
    };
    switch (glyph) {
        case ToolGlyph::Run:
            triangle(4, 13);
            break;
        case ToolGlyph::Step:
            triangle(3, 10.5);
            p.drawRect(QRectF(11 * u, 3 * u, 2 * u, 10 * u));
            break;
        case ToolGlyph::Pause:
            p.drawRect(QRectF(4 * u, 3 * u, 3 * u, 10 * u));
            p.drawRect(QRectF(9 * u, 3 * u, 3 * u, 10 * u));
            break;
        case ToolGlyph::ZoomIn:
            magnifier(true);
            break;
        case ToolGlyph::ZoomOut:
            magnifier(false);
            break;
        case ToolGlyph::RotateLeft: {
            // Three quarters of a circle, its arrow head turning anticlockwise.
            QPen pen(ink, 1.8 * u);
            pen.setCapStyle(Qt::FlatCap);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const QRectF circle(3 * u, 3 * u, 10 * u, 10 * u);
            p.drawArc(circle, 90 * 16, -270 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            QPainterPath head;  // at the top of the circle, pointing left
            head.moveTo(5 * u, 3 * u);
            head.lineTo(9 * u, 0.5 * u);
            head.lineTo(9 * u, 5.5 * u);
            head.closeSubpath();
            p.drawPath(head);
            break;
        }
        case ToolGlyph::Fit: {
            // Four corners around a small square.
            QPen pen(ink, 1.6 * u);
            pen.setCapStyle(Qt::SquareCap);
            pen.setJoinStyle(Qt::MiterJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            const double a = 2.5 * u, b = 13.5 * u, l = 4 * u;
            p.drawPolyline(QPolygonF{{a, a + l}, {a, a}, {a + l, a}});
            p.drawPolyline(QPolygonF{{b - l, a}, {b, a}, {b, a + l}});
            p.drawPolyline(QPolygonF{{a, b - l}, {a, b}, {a + l, b}});
            p.drawPolyline(QPolygonF{{b - l, b}, {b, b}, {b, b - l}});
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawRect(QRectF(6 * u, 6 * u, 4 * u, 4 * u));
            break;
        }
        case ToolGlyph::None:
            p.drawEllipse(QPointF(8 * u, 8 * u), 2.5 * u, 2.5 * u);
            break;
    }
}

}  // namespace

QIcon DrawToolIcon(ToolGlyph glyph, int size) {
    QIcon icon;
    // Pixmaps for the usual ratios; QIcon picks the one the screen needs.
    for (double ratio : {1.0, 1.5, 2.0, 3.0}) {
        const int device = int(size * ratio + 0.5);
        QPixmap pixmap(device, device);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        DrawGlyph(painter, glyph, size);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace cellarium

#include "platform/qt/qt_surface.h"

#include <QPainter>
#include <algorithm>

namespace cellarium {
namespace {

long long CeilDiv(long long a, long long b) {
    // b > 0
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

// One axis of ClipToImage: the source span [sl, sl + sw) drawn on the
// destination span [dl, dl + dw), kept to source positions 0 .. size - 1.
bool ClipAxis(long long sl, long long sw, long long dl, long long dw, long long size, int& sOut0,
              int& sOut1, int& dOut0, int& dOut1) {
    const long long lo = std::max(sl, 0LL), hi = std::min(sl + sw, size);
    if (lo >= hi) return false;
    // Destination x maps to sl + floor((x - dl) * sw / dw): the first x that
    // reaches lo and the first that reaches hi.
    const long long d0 = dl + CeilDiv((lo - sl) * dw, sw);
    const long long d1 = dl + CeilDiv((hi - sl) * dw, sw);
    if (d0 >= d1) return false;
    sOut0 = int(lo);
    sOut1 = int(hi);
    dOut0 = int(d0);
    dOut1 = int(d1);
    return true;
}

}  // namespace

bool QtSurface::ClipToImage(const IndexedImage& image, const CRect& src, const CRect& dst,
                            CRect& srcOut, CRect& dstOut) {
    if (src.IsEmpty() || dst.IsEmpty() || image.pixels == nullptr || image.colours == nullptr)
        return false;
    return ClipAxis(src.left, src.Width(), dst.left, dst.Width(), image.width, srcOut.left,
                    srcOut.right, dstOut.left, dstOut.right) &&
           ClipAxis(src.top, src.Height(), dst.top, dst.Height(), image.height, srcOut.top,
                    srcOut.bottom, dstOut.top, dstOut.bottom);
}

void QtSurface::StretchImage(const IndexedImage& image, const CRect& src, const CRect& dst) {
    CRect s, d;
    if (!ClipToImage(image, src, dst, s, d)) return;
    // The board's bytes as they are: a read-only image over them, no copy.
    QImage indexed(image.pixels, image.width, image.height, image.stride, QImage::Format_Indexed8);
    table_.resize(256);
    for (int i = 0; i < 256; ++i) {
        const RgbQuad& c = image.colours[i];
        table_[i] = qRgb(c.red, c.green, c.blue);
    }
    indexed.setColorTable(table_);
    // The source block with the exact scale of src onto dst, so that the
    // clipped part keeps the cell sizes of the whole.
    const double fx = double(src.Width()) / dst.Width();
    const double fy = double(src.Height()) / dst.Height();
    const QRectF source(src.left + (d.left - dst.left) * fx, src.top + (d.top - dst.top) * fy,
                        d.Width() * fx, d.Height() * fy);
    const QRectF target(d.left, d.top, d.Width(), d.Height());
    // Nearest neighbour: cells stay sharp blocks at every zoom.
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_.drawImage(target, indexed, source);
}

void QtSurface::FillSolid(const CRect& rect, uint32_t rgb) {
    if (rect.IsEmpty()) return;
    painter_.fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()),
                      QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF)));
}

}  // namespace cellarium

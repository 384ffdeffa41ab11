#include "platform/qt/qt_surface.h"

#include <QPainter>
#include <algorithm>
#include <cstring>
#include <vector>

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
    // Qt scales an indexed image by converting every pixel of it through the
    // colour table on each draw, which costs several times the copy itself.
    // So the visible block is scaled here, once, straight into device pixels
    // through the palette (each device pixel takes the cell its position maps
    // to), and the result is one plain copy onto the surface.
    // In device units the client coordinates are device pixels already.
    const double ratio = units_ == DeviceUnits ? 1.0 : DeviceRatio();
    const int width = std::max(1, int(d.Width() * ratio + 0.5));
    const int height = std::max(1, int(d.Height() * ratio + 0.5));
    QRgb palette[256];
    for (int i = 0; i < 256; ++i) {
        const RgbQuad& c = image.colours[i];
        palette[i] = qRgb(c.red, c.green, c.blue);
    }
    // Reused from paint to paint (one user-interface thread).
    static QImage buffer;
    static std::vector<int> columns;
    if (buffer.width() < width || buffer.height() < height)
        buffer = QImage(std::max(width, buffer.width()), std::max(height, buffer.height()),
                        QImage::Format_RGB32);
    columns.resize(std::size_t(width));
    // Source column of device column x: src.left + floor(logical offset from
    // dst.left * src.Width() / dst.Width()), the mapping the view draws by.
    const double scaleX = double(src.Width()) / (double(dst.Width()) * ratio);
    const double scaleY = double(src.Height()) / (double(dst.Height()) * ratio);
    const double originX = double(d.left - dst.left) * ratio;
    const double originY = double(d.top - dst.top) * ratio;
    for (int x = 0; x < width; ++x)
        columns[std::size_t(x)] =
            std::clamp(src.left + int((originX + x + 0.5) * scaleX), s.left, s.right - 1);
    int previous = -1;
    for (int y = 0; y < height; ++y) {
        const int row =
            std::clamp(src.top + int((originY + y + 0.5) * scaleY), s.top, s.bottom - 1);
        auto* out = reinterpret_cast<QRgb*>(buffer.scanLine(y));
        if (row == previous) {
            std::memcpy(out, buffer.constScanLine(y - 1), std::size_t(width) * sizeof(QRgb));
            continue;
        }
        const uint8_t* cells = image.pixels + std::size_t(row) * std::size_t(image.stride);
        for (int x = 0; x < width; ++x) out[x] = palette[cells[columns[std::size_t(x)]]];
        previous = row;
    }
    painter_.save();
    if (units_ == DeviceUnits) painter_.scale(1.0 / DeviceRatio(), 1.0 / DeviceRatio());
    painter_.drawImage(QRectF(d.left, d.top, d.Width(), d.Height()), buffer,
                       QRectF(0, 0, width, height));
    painter_.restore();
}

void QtSurface::FillSolid(const CRect& rect, uint32_t rgb) {
    if (rect.IsEmpty()) return;
    painter_.save();
    if (units_ == DeviceUnits) painter_.scale(1.0 / DeviceRatio(), 1.0 / DeviceRatio());
    painter_.fillRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()),
                      QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF)));
    painter_.restore();
}

double QtSurface::DeviceRatio() const {
    const QPaintDevice* device = painter_.device();
    return device != nullptr ? device->devicePixelRatioF() : 1.0;
}

}  // namespace cellarium

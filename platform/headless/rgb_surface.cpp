#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/headless/headless_platform.h"

namespace cellarium {

void RgbSurface::Resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    const std::size_t count = std::size_t(width_) * std::size_t(height_);
    pixels_.reset(static_cast<uint32_t*>(std::calloc(std::max<std::size_t>(count, 1), 4)));
    if (!pixels_) throw std::bad_alloc();
}

void RgbSurface::StretchImage(const IndexedImage& image, const CRect& src, const CRect& dst) {
    if (src.IsEmpty() || dst.IsEmpty() || image.pixels == nullptr || image.colours == nullptr)
        return;
    const int x0 = std::max(dst.left, 0), x1 = std::min(dst.right, width_);
    const int y0 = std::max(dst.top, 0), y1 = std::min(dst.bottom, height_);
    const long long sw = src.Width(), sh = src.Height();
    const long long dw = dst.Width(), dh = dst.Height();
    for (int y = y0; y < y1; ++y) {
        const long long sy = src.top + (y - dst.top) * sh / dh;
        if (sy < 0 || sy >= image.height) continue;
        const uint8_t* row = image.pixels + sy * image.stride;
        uint32_t* out = pixels_.get() + std::size_t(y) * std::size_t(width_);
        for (int x = x0; x < x1; ++x) {
            const long long sx = src.left + (x - dst.left) * sw / dw;
            if (sx < 0 || sx >= image.width) continue;
            const RgbQuad& c = image.colours[row[sx]];
            out[x] = uint32_t(c.red) | (uint32_t(c.green) << 8) | (uint32_t(c.blue) << 16);
        }
    }
}

void RgbSurface::FillSolid(const CRect& rect, uint32_t rgb) {
    const int x0 = std::max(rect.left, 0), x1 = std::min(rect.right, width_);
    const int y0 = std::max(rect.top, 0), y1 = std::min(rect.bottom, height_);
    if (x0 >= x1) return;
    for (int y = y0; y < y1; ++y)
        std::fill(pixels_.get() + std::size_t(y) * std::size_t(width_) + std::size_t(x0),
                  pixels_.get() + std::size_t(y) * std::size_t(width_) + std::size_t(x1), rgb);
}

}  // namespace cellarium

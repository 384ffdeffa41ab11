// The drawing surface a view paints on in the desktop back end: a QPainter on
// the view's viewport (or on any paint device, for benchmarks and tests).
// Coordinates are the client area's logical pixels, or with DeviceUnits the
// paint device's own pixels, so that a view can give every board cell the
// same whole number of them at any scale factor.
#pragma once

#include <QImage>

#include "framework/platform_services.h"

class QPainter;

namespace cellarium {

class QtSurface final : public DrawingSurface {
public:
    enum Units { LogicalUnits, DeviceUnits };
    explicit QtSurface(QPainter& painter, Units units = LogicalUnits)
        : painter_(painter), units_(units) {}

    // The visible block scaled nearest-neighbour through the image's colours
    // into device pixels, then drawn with one plain drawImage.
    void StretchImage(const IndexedImage& image, const CRect& src, const CRect& dst) override;
    void FillSolid(const CRect& rect, uint32_t rgb) override;

    // The part of dst whose pixels map into the image, and the image block
    // they map from, under the mapping source = src.left + (x - dst.left) *
    // src.Width() / dst.Width() (likewise for y). False when nothing maps.
    static bool ClipToImage(const IndexedImage& image, const CRect& src, const CRect& dst,
                            CRect& srcOut, CRect& dstOut);

private:
    // The device-pixel ratio of the painter's device.
    double DeviceRatio() const;

    QPainter& painter_;
    Units units_;
};

}  // namespace cellarium

#include "platform/qt/qt_offscreen.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "platform/qt/qt_surface.h"

namespace cellarium {

struct QtWindowlessSession::Impl {
    std::unique_ptr<QGuiApplication> app;
};

QtWindowlessSession::QtWindowlessSession(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    impl_->app = std::make_unique<QGuiApplication>(argc, argv);
}

QtWindowlessSession::~QtWindowlessSession() = default;

struct QtOffscreenTarget::Impl {
    QImage image;
};

QtOffscreenTarget::QtOffscreenTarget(int width, int height) : impl_(std::make_unique<Impl>()) {
    impl_->image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    impl_->image.fill(0);
}

QtOffscreenTarget::~QtOffscreenTarget() = default;

void QtOffscreenTarget::Paint(const std::function<void(DrawingSurface&)>& draw) {
    QPainter painter(&impl_->image);
    QtSurface surface(painter);
    draw(surface);
}

}  // namespace cellarium

#include "platform/qt/qt_offscreen.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

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

struct QtOffscreenDesktop::Impl {
    std::unique_ptr<QApplication> app;
    QTemporaryDir settings;
};

QtOffscreenDesktop::QtOffscreenDesktop(int& argc, char** argv) : impl_(std::make_unique<Impl>()) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    impl_->app = std::make_unique<QApplication>(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, impl_->settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, impl_->settings.path());
}

QtOffscreenDesktop::~QtOffscreenDesktop() = default;

void QtOffscreenDesktop::RunUntil(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtOffscreenDesktop::RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

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

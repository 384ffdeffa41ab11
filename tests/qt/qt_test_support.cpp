#include "qt_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QWidget>

namespace cellarium {

ModalAnswerer::ModalAnswerer(QString button)
    : button_(std::move(button)), timer_(std::make_unique<QTimer>()) {
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        for (QAbstractButton* b : modal->findChildren<QAbstractButton*>()) {
            if (QString(b->text()).remove('&') == button_ && b->isVisible() && b->isEnabled()) {
                ++answered_;
                b->click();
                return;
            }
        }
    });
    timer_->start(10);
}

ModalAnswerer::~ModalAnswerer() = default;

bool RunUntil(const std::function<bool()>& pred, int ms) {
    if (pred()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (pred()) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return pred();
}

void RunFor(int ms) {
    RunUntil([] { return false; }, ms);
}

QRgb CellColour(const CellBoard& board, int x, int y) {
    const ColourEntry& c = board.colours[board.At(x, y)];
    return qRgb(c.red, c.green, c.blue);
}

}  // namespace cellarium

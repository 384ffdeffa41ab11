// Helpers for the desktop tests: answering modal windows as a user would,
// and the colour a board cell should show.
#pragma once

#include <QColor>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "engine/cell_board.h"

namespace cellarium {

// While alive, presses the button with this text (mnemonics ignored) on
// every modal window that comes up.
class ModalAnswerer {
public:
    explicit ModalAnswerer(QString button = QStringLiteral("OK"));
    ~ModalAnswerer();
    int Answered() const { return answered_; }

private:
    QString button_;
    std::unique_ptr<QTimer> timer_;
    int answered_ = 0;
};

// Runs the event loop the program runs (waiting for events, so the idle
// hook takes part) until pred holds or ms milliseconds passed; returns pred.
bool RunUntil(const std::function<bool()>& pred, int ms);
void RunFor(int ms);

// The screen colour of a board cell through the board's colour table.
QRgb CellColour(const CellBoard& board, int x, int y);

}  // namespace cellarium

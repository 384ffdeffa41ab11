#include "platform/qt/graph_panel.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace cellarium {

namespace {

constexpr int kLeftMargin = 56;  // room for the y axis's numbers
constexpr int kRightMargin = 8;
constexpr int kTopMargin = 22;  // the current values
constexpr int kBottomMargin = 20;

QColor ColourOf(uint32_t rgb) {
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

// A round step between axis numbers giving about `wanted` of them over span.
double NiceStep(double span, int wanted) {
    if (span <= 0) return 1;
    const double raw = span / std::max(1, wanted);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * power) return std::max(1.0, m * power);
    return std::max(1.0, 10 * power);
}

}  // namespace

GraphWidget::GraphWidget(QWidget* parent) : QWidget(parent) {
    setMinimumSize(200, 100);
}

void GraphWidget::SetPicture(GraphPicture picture) {
    picture_ = std::move(picture);
    update();
}

void GraphWidget::SetMenu(std::vector<MenuItem> menu, std::function<void(unsigned)> choose) {
    menu_ = std::move(menu);
    choose_ = std::move(choose);
}

QRect GraphWidget::PlotArea() const {
    return QRect(kLeftMargin, kTopMargin, std::max(1, width() - kLeftMargin - kRightMargin),
                 std::max(1, height() - kTopMargin - kBottomMargin));
}

int GraphWidget::PlotColumns() const {
    return PlotArea().width();
}

void GraphWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QRect plot = PlotArea();
    const QColor text = palette().color(QPalette::Text);
    const QColor grid = palette().color(QPalette::Mid);
    const GraphPicture& g = picture_;
    p.setPen(text);
    p.drawText(QRect(4, 2, width() - 8, kTopMargin - 4), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(g.caption));

    // The y axis: round numbers from minY to maxY.
    const double minY = g.minY, maxY = std::max<double>(g.maxY, g.minY + 1);
    auto yOf = [&](double v) {
        return plot.bottom() - int(std::lround((v - minY) * (plot.height() - 1) / (maxY - minY)));
    };
    const double yStep = NiceStep(maxY - minY, std::max(2, plot.height() / 30));
    for (double v = std::ceil(minY / yStep) * yStep; v <= maxY; v += yStep) {
        const int y = yOf(v);
        p.setPen(grid);
        p.drawLine(plot.left(), y, plot.right(), y);
        p.setPen(text);
        p.drawText(QRect(0, y - 8, kLeftMargin - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(qint64(v)));
    }
    // The x axis: generations.
    const double firstX = double(g.firstX), lastX = std::max<double>(double(g.lastX), firstX + 1);
    const double xStep = NiceStep(lastX - firstX, std::max(2, plot.width() / 90));
    for (double v = std::ceil(firstX / xStep) * xStep; v <= lastX; v += xStep) {
        const int x =
            plot.left() + int(std::lround((v - firstX) * (plot.width() - 1) / (lastX - firstX)));
        p.setPen(grid);
        p.drawLine(x, plot.top(), x, plot.bottom());
        p.setPen(text);
        p.drawText(QRect(x - 40, plot.bottom() + 2, 80, kBottomMargin - 2), Qt::AlignCenter,
                   QString::number(qint64(v)));
    }
    p.setPen(text);
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    // Each series: one vertical span a column, joined to the next.
    for (const GraphSeries& s : g.series) {
        p.setPen(QPen(ColourOf(s.rgb), 1));
        for (std::size_t c = 0; c < s.columns.size(); ++c) {
            const int x = plot.left() + int(c);
            if (x > plot.right()) break;
            int32_t low = s.columns[c].first, high = s.columns[c].second;
            if (c > 0) {
                // Reach the previous column's span, so the line has no gaps.
                low = std::min(low, s.columns[c - 1].second);
                high = std::max(high, s.columns[c - 1].first);
            }
            p.drawLine(x, yOf(low), x, yOf(high));
        }
    }
}

void GraphWidget::contextMenuEvent(QContextMenuEvent* event) {
    if (menu_.empty()) return;
    QMenu menu(this);
    for (const MenuItem& item : menu_) {
        if (item.separator) {
            menu.addSeparator();
            continue;
        }
        QAction* a = menu.addAction(QString::fromStdString(item.caption));
        a->setData(item.id);
    }
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen != nullptr && choose_) choose_(chosen->data().toUInt());
}

GraphDock::GraphDock(const QString& title, QWidget* parent)
    : QDockWidget(title, parent), graph_(new GraphWidget(this)) {
    setObjectName(QStringLiteral("PopulationGraph"));
    setWidget(graph_);
}

void GraphDock::closeEvent(QCloseEvent* event) {
    QDockWidget::closeEvent(event);
    if (onClose) onClose();
}

}  // namespace cellarium

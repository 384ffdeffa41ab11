// The graph panel of the desktop back end: a dock below the view (or a window
// of its own) drawing a GraphPicture with QPainter: numbered axes, one span a
// pixel column for each series, the current values above, and a right-click
// menu of the program's commands.
#pragma once

#include <QDockWidget>
#include <QWidget>
#include <functional>

#include "framework/platform_services.h"

namespace cellarium {

class GraphWidget final : public QWidget {
public:
    explicit GraphWidget(QWidget* parent);
    void SetPicture(GraphPicture picture);
    const GraphPicture& Picture() const { return picture_; }
    void SetMenu(std::vector<MenuItem> menu, std::function<void(unsigned)> choose);
    // The pixel columns the plot has across.
    int PlotColumns() const;
    QSize sizeHint() const override { return QSize(480, 180); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QRect PlotArea() const;
    GraphPicture picture_;
    std::vector<MenuItem> menu_;
    std::function<void(unsigned)> choose_;
};

// The dock holding the graph; tells when the user closes it.
class GraphDock final : public QDockWidget {
public:
    GraphDock(const QString& title, QWidget* parent);
    GraphWidget* Graph() const { return graph_; }
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    GraphWidget* graph_;
};

}  // namespace cellarium

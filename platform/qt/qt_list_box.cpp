#include "platform/qt/qt_list_box.h"

#include <QColor>
#include <QIcon>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "framework/control_host.h"

namespace cellarium {
namespace {

constexpr int kPictureSide = 32;

// The marker telling our list boxes from other list widgets.
const char* const kListBoxProperty = "cellariumListBox";

QIcon PictureIcon(const std::vector<std::string>& rows) {
    QPixmap pixmap(kPictureSide, kPictureSide);
    pixmap.fill(Qt::transparent);
    if (rows.empty()) return QIcon(pixmap);
    int width = 0;
    for (const std::string& row : rows) width = std::max(width, int(row.size()));
    const int height = int(rows.size());
    // Whole pixels a cell, as large as fits, centred.
    const int cell = std::max(1, std::min(6, (kPictureSide - 2) / std::max(width, height)));
    const int left = (kPictureSide - cell * width) / 2, top = (kPictureSide - cell * height) / 2;
    QPainter painter(&pixmap);
    painter.fillRect(left - 1, top - 1, cell * width + 2, cell * height + 2,
                     QColor(0xf4, 0xf4, 0xf4));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < int(rows[size_t(y)].size()); ++x)
            if (rows[size_t(y)][size_t(x)] == 'o')
                painter.fillRect(left + x * cell, top + y * cell, cell, cell,
                                 QColor(0x20, 0x30, 0x60));
    return QIcon(pixmap);
}

}  // namespace

QWidget* MakeListBox(QWidget* parent, std::function<void(int)> chosen) {
    auto* list = new QListWidget(parent);
    list->setProperty(kListBoxProperty, true);
    list->setIconSize(QSize(kPictureSide, kPictureSide));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    QObject::connect(list, &QListWidget::currentRowChanged, list,
                     [chosen = std::move(chosen)](int row) {
                         if (row >= 0) chosen(row);
                     });
    return list;
}

bool IsListBox(const QWidget* widget) {
    return widget != nullptr && widget->property(kListBoxProperty).toBool();
}

void ShowListItems(QWidget* widget, const ControlState& state) {
    auto* list = qobject_cast<QListWidget*>(widget);
    if (list == nullptr) return;
    bool same = list->count() == int(state.items.size());
    for (int i = 0; same && i < list->count(); ++i)
        same = list->item(i)->text() == QString::fromStdString(state.items[size_t(i)].text);
    if (!same) {
        list->clear();
        for (const ComboItem& item : state.items)
            list->addItem(
                new QListWidgetItem(PictureIcon(item.picture), QString::fromStdString(item.text)));
    }
    const int row = state.curSel >= 0 && state.curSel < list->count() ? state.curSel : -1;
    if (list->currentRow() != row) list->setCurrentRow(row);
}

}  // namespace cellarium

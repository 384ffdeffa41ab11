// The framework's list boxes on the desktop: a list always open whose items
// may carry small pictures of cells (ComboItem::picture).
#pragma once

#include <functional>

class QWidget;

namespace cellarium {

struct ControlState;

// A list box widget; chosen is called with the row the user moves to.
QWidget* MakeListBox(QWidget* parent, std::function<void(int)> chosen);
// True for a widget MakeListBox made.
bool IsListBox(const QWidget* widget);
// Shows the host's items, their pictures and the selection.
void ShowListItems(QWidget* widget, const ControlState& state);

}  // namespace cellarium

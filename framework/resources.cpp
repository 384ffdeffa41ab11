#include "framework/resources.h"

namespace cellarium {
namespace {

void CollectCommands(const std::vector<MenuItem>& items, std::vector<unsigned>& out) {
    for (const MenuItem& item : items) {
        if (item.separator) continue;
        if (!item.children.empty())
            CollectCommands(item.children, out);
        else if (item.id != 0)
            out.push_back(item.id);
    }
}

}  // namespace

const DialogTemplate* ResourceTable::FindDialog(unsigned id) const {
    for (const DialogTemplate& d : dialogs)
        if (d.id == id) return &d;
    return nullptr;
}

const MenuTemplate* ResourceTable::FindMenu(unsigned id) const {
    for (const MenuTemplate& m : menus)
        if (m.id == id) return &m;
    return nullptr;
}

const ToolbarTemplate* ResourceTable::FindToolbar(unsigned id) const {
    for (const ToolbarTemplate& t : toolbars)
        if (t.id == id) return &t;
    return nullptr;
}

std::string ResourceTable::String(unsigned id) const {
    auto it = strings.find(id);
    return it == strings.end() ? std::string() : it->second;
}

std::vector<unsigned> MenuCommands(const MenuTemplate& menu) {
    std::vector<unsigned> out;
    CollectCommands(menu.items, out);
    return out;
}

}  // namespace cellarium

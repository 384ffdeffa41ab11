#include "framework/resources.h"

namespace cellarium {

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

}  // namespace cellarium

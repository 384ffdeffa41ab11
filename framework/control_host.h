// A window built from a dialog template: a modal dialog or a dialog bar. It
// keeps the state of every control by id (text, check, visibility, items and
// selection); the framework changes that state through the item functions
// and tells the back end, and a back end reflects the user's input into it
// before it delivers the click or selection that follows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/resources.h"
#include "framework/wnd.h"

namespace cellarium {

struct ComboItem {
    std::string text;
    uintptr_t data = 0;
    // A list box item's picture, top row first, 'o' a dark cell; empty for
    // none.
    std::vector<std::string> picture;
};

struct ControlState {
    const ControlTemplate* tmpl = nullptr;
    std::string text;
    int check = 0;
    bool visible = true;
    bool enabled = true;
    bool readOnly = false;
    std::vector<ComboItem> items;
    int curSel = -1;
};

class ControlHost : public CWnd {
public:
    // The template the controls were built from; null before Build.
    const DialogTemplate* Template() const { return template_; }
    unsigned TemplateId() const { return template_ ? template_->id : 0; }

    // --- Item functions ---------------------------------------------------
    bool HasControl(int id) const { return Find(id) != nullptr; }
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void CheckDlgButton(int id, int check);
    int IsDlgButtonChecked(int id) const;
    void ShowControl(int id, bool show);
    bool IsControlVisible(int id) const;
    void EnableControl(int id, bool enable);
    bool IsControlEnabled(int id) const;
    void SetControlReadOnly(int id, bool readOnly);
    bool IsControlReadOnly(int id) const;
    // Moves the focus to a control (after a failed validation).
    void GotoDlgCtrl(int id);

    ControlState* Find(int id);
    const ControlState* Find(int id) const;
    const std::vector<ControlState>& Controls() const { return controls_; }

    // --- Input from the back end (the user acting on a control) -------------
    // Typing into an edit control: changes the text, then EN_CHANGE is
    // routed with the control's id (not when the text stays the same).
    void UserTypes(int id, const std::string& text);
    // Clicking a button. An automatic check box toggles first; then the click
    // is routed as a command (BN_CLICKED) with the control's id.
    void UserClicks(int id);
    // Choosing a list item of a combo box or list box, then CBN_SELCHANGE.
    void UserSelects(int id, int index);

protected:
    // Makes the controls from the template, in template order, with their
    // initial texts and visibility.
    void BuildControls(const DialogTemplate& tmpl);
    void Changed(int id);

private:
    const DialogTemplate* template_ = nullptr;
    std::vector<ControlState> controls_;

    friend class CComboBox;
    friend class CWnd;
    friend class CEdit;
    friend class CButton;
};

}  // namespace cellarium

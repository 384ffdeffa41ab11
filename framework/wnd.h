// Windows. A CWnd is either a top-level or child window known to the back end
// (frames, views, dialogs, bars), or a control object attached to one control
// of a ControlHost by DDX_Control, through which it reads and changes that
// control's state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/cmd_target.h"
#include "framework/types.h"

namespace cellarium {

class ControlHost;
class CDC;
class PlatformServices;

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;

    // Registers the window with the back end; DestroyWindow (or destruction)
    // unregisters it, killing its timers.
    void CreateWindowObject();
    virtual void DestroyWindow();
    bool IsWindowCreated() const { return created_; }

    // --- Window services (windows registered with the back end) -------------
    TimerHandle SetTimer(unsigned id, unsigned ms);
    bool KillTimer(TimerHandle handle);
    void Invalidate(bool erase = true);
    void InvalidateRect(const CRect* rect, bool erase = true);
    void UpdateWindow();
    void GetClientRect(CRect* rect) const;
    // A message box owned by this window; caption defaults to the
    // application's title.
    int MessageBox(const std::string& text, const std::string& caption = std::string(),
                   unsigned type = MB_OK);

    // --- Messages the back end delivers ---------------------------------
    virtual void OnTimer(unsigned id);
    // Erases the background of the invalid area before a paint that asked for
    // it; returns whether it did.
    virtual bool OnEraseBkgnd(CDC& dc);
    // Paints the window on a surface (views draw, others ignore it).
    virtual void OnPaint(CDC& dc);
    virtual void OnSize(int cx, int cy);
    virtual void OnKeyDown(unsigned key, unsigned repeat, unsigned flags);
    virtual void OnLButtonDown(unsigned flags, CPoint point);
    virtual void OnMouseMove(unsigned flags, CPoint point);
    virtual void OnLButtonUp(unsigned flags, CPoint point);
    virtual void OnRButtonDown(unsigned flags, CPoint point);
    virtual void OnRButtonUp(unsigned flags, CPoint point);
    virtual void OnHScroll(unsigned code, unsigned pos);
    virtual void OnVScroll(unsigned code, unsigned pos);

    // --- Control objects (attached by DDX_Control) ------------------------
    void AttachControl(ControlHost* host, int id) {
        host_ = host;
        controlId_ = id;
    }
    bool IsControl() const { return host_ != nullptr; }
    int GetDlgCtrlID() const { return controlId_; }
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    void ShowWindow(bool show);
    bool IsWindowVisible() const;
    void EnableWindow(bool enable);

protected:
    ControlHost* host_ = nullptr;
    int controlId_ = 0;

private:
    bool created_ = false;
};

class CEdit : public CWnd {
public:
    // The EM_SETREADONLY message.
    void SetReadOnly(bool readOnly = true);
    bool IsReadOnly() const;
};

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int check);
};

class CStatic : public CWnd {};

// A combo box's or list box's list. Indices are positions in the (possibly sorted) list;
// CB_ERR (-1) means none.
inline constexpr int CB_ERR = -1;

class CComboBox : public CWnd {
public:
    // Adds at the sorted position for a sorted box, else at the end; returns
    // the index.
    int AddString(const std::string& text);
    int SetItemData(int index, uintptr_t data);
    uintptr_t GetItemData(int index) const;
    // A list box item's picture (ComboItem::picture).
    int SetItemPicture(int index, std::vector<std::string> rows);
    // Empties the list.
    void ResetContent();
    // Selects the first item, searching from after start (-1: the whole
    // list), that begins with text, case-insensitively; returns its index or
    // CB_ERR.
    int SelectString(int start, const std::string& text);
    int GetCurSel() const;
    int SetCurSel(int index);
    int GetCount() const;
    std::string GetLBText(int index) const;
};

}  // namespace cellarium

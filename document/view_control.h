// One concern of the view of the open pattern: its own state, its commands and
// their update handlers. The view owns one of each and routes every command
// through them in turn; they reach the window, the document and each other
// through the view.
#pragma once

#include "framework/cmd_target.h"

namespace cellarium {

class CLifeDoc;
class CLifeView;

class ViewControl {
public:
    explicit ViewControl(CLifeView& view) : view_(view) {}
    virtual ~ViewControl() = default;
    ViewControl(const ViewControl&) = delete;
    ViewControl& operator=(const ViewControl&) = delete;

    // True when this concern handled the command or update query.
    virtual bool OnCmdMsg(const CmdMsg& msg) = 0;

protected:
    // The view's document, null while none is open.
    CLifeDoc* Document() const;
    // The document, when it has its boards; null otherwise.
    CLifeDoc* DocumentWithBoards() const;

    CLifeView& view_;
};

}  // namespace cellarium

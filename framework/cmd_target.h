// Command routing. Commands and control notifications carry a numeric id and
// a code; each class keeps a CommandMap of handlers and update handlers and
// passes what it does not handle on (view, document, frame, application).
#pragma once

#include <string>
#include <vector>

#include "framework/types.h"

namespace cellarium {

class CCmdTarget;

// The enabled and checked state of one command, filled by update handlers.
class CCmdUI {
public:
    explicit CCmdUI(unsigned id) : m_nID(id) {}
    virtual ~CCmdUI() = default;

    virtual void Enable(bool on = true) {
        m_bEnabled = on;
        m_bEnableChanged = true;
    }
    virtual void SetCheck(int check = 1) { m_nCheck = check; }
    // A caption that replaces the menu item's own ("Undo Draw"); empty keeps
    // the resource's.
    virtual void SetText(const std::string& text) { m_strText = text; }

    // Asks target for the state. A command with no update handler is enabled
    // exactly when some handler on the route would take it (when
    // disableIfNoHandler is set, as for menus and toolbars).
    void DoUpdate(CCmdTarget& target, bool disableIfNoHandler = true);

    unsigned m_nID;
    bool m_bEnabled = true;
    bool m_bEnableChanged = false;
    int m_nCheck = 0;
    std::string m_strText;
};

// One routed message. For an update query code is CN_UPDATE_COMMAND_UI and ui
// is set; probe asks only whether a handler exists, without running it.
struct CmdMsg {
    unsigned id = 0;
    int code = CN_COMMAND;
    CCmdUI* ui = nullptr;
    bool probe = false;
};

class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Returns true when this target (or one it routes to) handled the message.
    virtual bool OnCmdMsg(const CmdMsg& msg);

    // Convenience: routes a plain command.
    bool SendCommand(unsigned id) { return OnCmdMsg(CmdMsg{id, CN_COMMAND, nullptr, false}); }

    // The application's wait cursor, counted.
    void BeginWaitCursor();
    void EndWaitCursor();
};

// A table of handlers of class T, kept as a function-local static of T's
// OnCmdMsg.
template <class T>
class CommandMap {
public:
    using Handler = void (T::*)();
    using RangeHandler = void (T::*)(unsigned);
    using UpdateHandler = void (T::*)(CCmdUI*);

    CommandMap& On(unsigned id, Handler fn) {
        return Add(Entry{id, id, CN_COMMAND, fn, nullptr, nullptr});
    }
    CommandMap& OnNotify(unsigned id, int code, Handler fn) {
        return Add(Entry{id, id, code, fn, nullptr, nullptr});
    }
    CommandMap& OnRange(unsigned first, unsigned last, int code, RangeHandler fn) {
        return Add(Entry{first, last, code, nullptr, fn, nullptr});
    }
    CommandMap& OnUpdate(unsigned id, UpdateHandler fn) {
        return Add(Entry{id, id, CN_UPDATE_COMMAND_UI, nullptr, nullptr, fn});
    }
    CommandMap& OnUpdateRange(unsigned first, unsigned last, UpdateHandler fn) {
        return Add(Entry{first, last, CN_UPDATE_COMMAND_UI, nullptr, nullptr, fn});
    }

    bool Dispatch(T& target, const CmdMsg& msg) const {
        for (const Entry& e : entries_) {
            if (msg.id < e.first || msg.id > e.last || e.code != msg.code) continue;
            if (msg.probe) return true;
            if (e.update != nullptr) {
                if (msg.ui == nullptr) continue;
                (target.*e.update)(msg.ui);
            } else if (e.range != nullptr) {
                (target.*e.range)(msg.id);
            } else {
                (target.*e.fn)();
            }
            return true;
        }
        return false;
    }

private:
    struct Entry {
        unsigned first;
        unsigned last;
        int code;
        Handler fn;
        RangeHandler range;
        UpdateHandler update;
    };
    CommandMap& Add(const Entry& e) {
        entries_.push_back(e);
        return *this;
    }
    std::vector<Entry> entries_;
};

}  // namespace cellarium

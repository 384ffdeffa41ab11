// The frame: one view, a command bar (menu, toolbar, tooltips) and dialog bars
// made from dialog templates. Commands are routed view first (then its
// document), then the frame, then the application.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/control_host.h"
#include "framework/platform_services.h"

namespace cellarium {

class CView;
class CDocument;

// A bar laid out from a dialog template, docked to the frame.
class CDialogBar : public ControlHost {
public:
    ~CDialogBar() override;
    bool Create(CFrameWnd* parent, unsigned templateId, unsigned id);
    void DestroyWindow() override;
    unsigned BarId() const { return barId_; }
    // Clicks in the bar go to the frame, as the controls' commands.
    bool OnCmdMsg(const CmdMsg& msg) override;

private:
    CFrameWnd* frame_ = nullptr;
    unsigned barId_ = 0;
};

class CFrameWnd : public CWnd {
public:
    ~CFrameWnd() override;

    // Creates the frame window and calls OnCreate; false when OnCreate fails.
    bool LoadFrame();
    // The frame's own creation steps (bars); false ends creation with failure.
    virtual bool OnCreate();
    void DestroyWindow() override;

    // The frame owns its view.
    void SetView(std::unique_ptr<CView> view);
    CView* GetActiveView() const { return view_.get(); }

    // Control bars registered by id (dialog bars made by the frame).
    void AddControlBar(CDialogBar* bar);
    void RemoveControlBar(CDialogBar* bar);
    CDialogBar* GetControlBar(unsigned id) const;

    // The command bar: menu, toolbar and tooltips, handed to the back end.
    void SetCommandBar(const CommandBarDesc& desc);

    // The state of one command, as the update handlers on the route give it.
    CCmdUI QueryCommandState(unsigned id);
    // The idle-time refresh of the toolbar buttons' state.
    void OnUpdateCmdUI();
    // Command ids of the toolbar with their last refreshed state.
    struct ButtonState {
        unsigned id;
        bool enabled;
        int check;
    };
    const std::vector<ButtonState>& ToolbarStates() const { return toolbarStates_; }

    // Routing: the active view (and its document), the frame, the
    // application.
    bool OnCmdMsg(const CmdMsg& msg) override;
    // The frame's own handlers; derived frames override this and call the base.
    virtual bool OnFrameCmdMsg(const CmdMsg& msg);

    // Called after a document is opened or created in the frame's view.
    void InitialUpdateFrame(CDocument* doc);

private:
    std::unique_ptr<CView> view_;
    std::vector<CDialogBar*> bars_;
    CommandBarDesc commandBar_;
    std::vector<ButtonState> toolbarStates_;
};

}  // namespace cellarium

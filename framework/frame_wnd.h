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
    bool Create(CFrameWnd* parent, unsigned templateId, unsigned style, unsigned id);
    void DestroyWindow() override;
    unsigned BarId() const { return barId_; }
    unsigned BarStyle() const { return barStyle_; }
    // Shows or hides the whole bar.
    void ShowBar(bool show);
    bool IsBarVisible() const { return visible_; }
    // Clicks in the bar go to the frame, as the controls' commands.
    bool OnCmdMsg(const CmdMsg& msg) override;

private:
    CFrameWnd* frame_ = nullptr;
    unsigned barId_ = 0;
    unsigned barStyle_ = 0;
    bool visible_ = true;
};

class CFrameWnd : public CWnd {
public:
    ~CFrameWnd() override;

    // Creates the frame window and calls OnCreate; false when OnCreate fails.
    bool LoadFrame(unsigned resourceId);
    // The frame's own creation steps (bars); false ends creation with failure.
    virtual bool OnCreate();
    void DestroyWindow() override;

    // The frame owns its view.
    void SetView(std::unique_ptr<CView> view);
    CView* GetActiveView() const { return view_.get(); }
    CDocument* GetActiveDocument() const;
    unsigned ResourceId() const { return resourceId_; }

    // Control bars registered by id (dialog bars made by the frame).
    void AddControlBar(CDialogBar* bar);
    void RemoveControlBar(CDialogBar* bar);
    CDialogBar* GetControlBar(unsigned id) const;

    // The command bar: menu, toolbar and tooltips, handed to the back end.
    void SetCommandBar(const CommandBarDesc& desc);
    const CommandBarDesc& CommandBar() const { return commandBar_; }

    // The state of one command, as the update handlers on the route give it.
    CCmdUI QueryCommandState(unsigned id);
    // The idle-time refresh of the toolbar buttons' state.
    void OnUpdateCmdUI();
    // Command ids of the toolbar (its buttons, then the items of its lists)
    // with their last refreshed state.
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

    // The back end's notifications of the file selection screen: it has
    // opened over the frame, or it has closed. Derived frames do their part
    // and then call the base, which keeps track of the state.
    virtual void OnFileListOpened();
    virtual void OnFileListClosed();
    bool FileListShown() const { return fileListShown_; }
    // The user's choices on the file selection screen: a file of the list
    // (Recent, the folder, the samples), "Open Other..." (the platform's
    // file dialog in any folder) and Cancel or Esc (back to the open
    // pattern).
    virtual void OnFileListChoose(const std::string& path);
    virtual void OnFileListOpenOther();
    virtual void OnFileListCancel();

    // The platform closes the main window (its close box, the window
    // manager): the document may object through SaveModified; otherwise the
    // message loop ends normally and the application closes its documents.
    // Not the Exit command, which a frame may handle differently.
    virtual void OnClose();

    // The frame's help hook: the user asked for help (ID_HELP_REQUEST). The
    // base does nothing.
    virtual void HelpRequested() {}

private:
    unsigned resourceId_ = 0;
    std::unique_ptr<CView> view_;
    std::vector<CDialogBar*> bars_;
    CommandBarDesc commandBar_;
    std::vector<ButtonState> toolbarStates_;
    bool fileListShown_ = false;
};

}  // namespace cellarium

// Windows, timers, painting and the frame of the desktop back end: the main
// window with its menu bar, toolbar and status strip, the scrolling view
// widget, window timers and the idle hook, and the page listing pattern
// files.
//
// The back end knows commands only by number. What the desktop adds to them
// (a toolbar glyph, keyboard shortcuts, the commands the mouse wheel sends)
// is handed in by the program as a CommandLook.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/platform_services.h"

class QAction;
class QComboBox;
class QDockWidget;
class QIcon;
class QMainWindow;
class QMenuBar;
class QToolBar;
class QWidget;

namespace cellarium {

class QtPlatform;
class QtViewWidget;

// The pictures the back end draws for toolbar buttons.
enum class ToolGlyph { None, Step, Run, Pause, ZoomIn, ZoomOut, RotateLeft, Fit };

struct CommandKeys {
    unsigned id = 0;
    ToolGlyph glyph = ToolGlyph::None;
    // Key sequences in Qt's portable text form ("Ctrl+R", "Space"); the first
    // is the one a menu shows.
    std::vector<std::string> keys;
};

struct CommandLook {
    std::vector<CommandKeys> commands;
    // Sent by Ctrl and the mouse wheel (0: none).
    unsigned zoomIn = 0;
    unsigned zoomOut = 0;
    // A key that sends the first of these commands that is enabled (Space:
    // run when paused, pause when running).
    struct Toggle {
        std::string key;
        std::vector<unsigned> commands;
    };
    std::vector<Toggle> toggles;
};

// Draws a toolbar glyph as an icon of the given logical size, sharp at the
// screen's device-pixel ratio.
QIcon DrawToolIcon(ToolGlyph glyph, int size);

// The file list's rows: the picture's side in pixels, and the item data
// telling whether a row shows its file's picture.
inline constexpr int kFilePictureSide = 48;
inline constexpr int kPictureStateRole = 0x0100 + 1;  // Qt::UserRole + 1
inline constexpr int kPictureWaiting = 0;
inline constexpr int kPictureShown = 1;
inline constexpr int kPictureUnreadable = 2;
// Read, but too big for the board in the settings.
inline constexpr int kPictureTooBig = 3;

// The window role and the frame role (command bar, title, file list) share
// the main window, so one object serves both.
class QtWindows final : public WindowServices, public FrameServices {
public:
    explicit QtWindows(QtPlatform& platform);
    ~QtWindows() override;

    void WindowCreated(CWnd& wnd) override;
    void WindowDestroyed(CWnd& wnd) override;
    TimerHandle SetTimer(CWnd& wnd, unsigned id, unsigned ms) override;
    bool KillTimer(CWnd& wnd, TimerHandle handle) override;
    void Invalidate(CWnd& wnd, const CRect* rect, bool erase) override;
    void UpdateWindow(CWnd& wnd) override;
    CRect GetClientRect(const CWnd& wnd) override;
    std::optional<CPoint> PointerPosition(const CWnd& wnd) override;
    void ScrollStateChanged(CWnd& view) override;
    uint32_t NearestColour(uint32_t rgb) override;
    void SetWaitCursor(bool on) override;
    void FrameCreated(CFrameWnd& frame) override;
    void FrameDestroyed(CFrameWnd& frame) override;
    void InstallCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) override;
    void CommandStatesChanged(CFrameWnd& frame) override;
    void SetFrameTitle(CFrameWnd& frame, const std::string& title) override;
    void ShowFileList(CFrameWnd& frame, const FileListRequest& request) override;
    void CloseFileList(CFrameWnd& frame) override;
    void InstallFileListCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) override;
    void ShowGraphPanel(CFrameWnd& frame, const GraphPanelRequest& request) override;
    void HideGraphPanel(CFrameWnd& frame) override;
    int GraphColumns(CFrameWnd& frame) override;
    void SetGraphPicture(CFrameWnd& frame, const GraphPicture& picture) override;
    std::string GraphImagePng(CFrameWnd& frame) override;
    void EndMessageLoop(int exitCode) override;

    // Set before the frame exists; applied when the command bar is installed.
    void SetCommandLook(CommandLook look);

    // --- For the platform object, the program and tests ----------------------
    QMainWindow* MainWindow() const;
    void PlaceStatusStrip(QWidget* strip);
    // The widget showing a view (null when wnd is not a view on screen).
    QtViewWidget* ViewWidget(const CWnd& wnd) const;
    QMenuBar* MenuBar() const;
    QToolBar* ToolBar() const;
    // The menu's actions by command id (submenus included), and the
    // toolbar's.
    std::vector<QAction*> MenuActions() const;
    std::vector<QAction*> ToolbarActions() const;
    // The toolbar's lists (ToolbarChoice), in order.
    std::vector<QComboBox*> ToolbarChoices() const;
    bool FileListShown() const;
    QWidget* FileListPage() const;
    int ArmedTimers() const;
    // How often the widget showing a view has painted (0: no such widget).
    int PaintCount(const CWnd& view) const;
    // Called by the view widget and the event filter: user input or a timer
    // tick happened, so idle processing starts again from count 0.
    void NoteActivity();
    // Whether the program ended (no more ticks, paints or commands).
    void StopDelivering();
    bool Delivering() const;
    // How often the idle hook was called since the program started.
    long IdleCalls() const;
    // Chooses a command as a user would: only when enabled.
    bool ChooseCommand(unsigned id);
    // The commands Ctrl and the wheel send: (zoom in, zoom out).
    std::pair<unsigned, unsigned> ZoomCommands() const;
    // Opens a pattern file as Open would (a dropped file, a file of the
    // list); closes the file list when it opened.
    bool OpenPath(const std::string& path);
    // The file list's "Open Other..." and "Cancel" buttons (null while no
    // frame exists).
    QWidget* FileListOpenOtherButton() const;
    QWidget* FileListCancelButton() const;
    // The graph panel's dock (null until first shown).
    QDockWidget* GraphPanel() const;
    // How many file pictures the worker has made so far.
    int FilePicturesMade() const;

    // Keeps the main window's size and position in the settings for the
    // next run (done when the frame goes and when the program ends at once).
    void SaveWindowPlace();

private:
    // Rebuilds the menu, toolbar and keys of the main window from a bar
    // (qt_command_bar.cpp).
    void ApplyCommandBar(const CommandBarDesc& bar);
    // Makes the file list's page in the main window (qt_file_list_page.cpp).
    void BuildFileListPage();

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace cellarium

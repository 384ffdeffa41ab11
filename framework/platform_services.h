// The one interface between the framework (and everything built on it) and the
// outside world. A back end is a class implementing it: the Qt back end shows
// real windows, the headless back end answers from a script and a virtual
// clock. Nothing above the framework calls a platform API directly.
//
// Threading: one user-interface thread. The back end calls back into the
// framework (commands, timer ticks, paints, idle) only from that thread and
// only between handlers; a modal dialog or message box returns only when it
// has been closed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/file_role.h"
#include "framework/resources.h"
#include "framework/types.h"

namespace cellarium {

class CWnd;
class CDialog;
class ControlHost;
class CDialogBar;
class CFrameWnd;

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    unsigned type = MB_OK;
};

// File dialog flags.
inline constexpr unsigned OFN_READONLY = 0x1;
inline constexpr unsigned OFN_OVERWRITEPROMPT = 0x2;
inline constexpr unsigned OFN_HIDEREADONLY = 0x4;
inline constexpr unsigned OFN_FILEMUSTEXIST = 0x1000;

struct FileDialogRequest {
    bool open = true;        // an open dialog, else a save dialog
    std::string defaultExt;  // without the dot
    std::string fileName;    // initial name
    unsigned flags = 0;
    std::string filter;  // "Name|*.ext|Name|*.ext||", may be empty
};

// One 8-bit image with its colour table, drawn through a colour lookup.
struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
};

struct IndexedImage {
    int width = 0;
    int height = 0;
    int stride = 0;                    // bytes per row
    const uint8_t* pixels = nullptr;   // top row first
    const RgbQuad* colours = nullptr;  // 256 entries
};

// A surface a view draws on during a paint, in client coordinates.
class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;
    // Copies the src rectangle of the image onto the dst rectangle, stretching
    // when the sizes differ (each destination pixel takes the source pixel its
    // position maps to). Parts outside either the image or the surface are
    // skipped.
    virtual void StretchImage(const IndexedImage& image, const CRect& src, const CRect& dst) = 0;
    // Fills the rectangle with a colour given as red + 256 green + 65536 blue.
    virtual void FillSolid(const CRect& rect, uint32_t rgb) = 0;
};

// What a frame's command bar shows: the menu, the toolbar and the tooltips of
// the toolbar buttons (in button order).
struct CommandBarDesc {
    const MenuTemplate* menu = nullptr;
    // What a desktop back end shows as its menu bar instead, when given; it
    // carries every command of menu, by the same ids.
    const MenuTemplate* desktopMenu = nullptr;
    const ToolbarTemplate* toolbar = nullptr;
    std::vector<std::string> tooltips;
};

// Clipboard formats.
inline constexpr unsigned CF_TEXT = 1;
inline constexpr unsigned CF_UNICODETEXT = 13;

// The platform hands out its services in small roles, one object each, so a
// back end implements (and a test fakes) one concern at a time.

// Windows, timers and painting.
class WindowServices {
public:
    virtual ~WindowServices() = default;
    // A window object came into being or is about to go; the back end drops
    // its timers and pending paints on destruction.
    virtual void WindowCreated(CWnd& wnd) = 0;
    virtual void WindowDestroyed(CWnd& wnd) = 0;
    // Arms a timer that delivers OnTimer(id) to wnd every ms milliseconds
    // until killed; arming the same id again replaces it. With 0 ms it fires
    // as soon as the events already waiting (input, paints) are handled.
    // Returns 0 when the platform refuses.
    virtual TimerHandle SetTimer(CWnd& wnd, unsigned id, unsigned ms) = 0;
    virtual bool KillTimer(CWnd& wnd, TimerHandle handle) = 0;
    // Marks all (rect null) or part of the client area for repainting.
    virtual void Invalidate(CWnd& wnd, const CRect* rect, bool erase) = 0;
    // Paints an invalid window at once instead of waiting for the queue.
    virtual void UpdateWindow(CWnd& wnd) = 0;
    virtual CRect GetClientRect(const CWnd& wnd) = 0;
    // Where the pointer is over the window's client area, or nothing while
    // it is elsewhere (over another window, a menu, off the window).
    virtual std::optional<CPoint> PointerPosition(const CWnd& wnd) = 0;
    // The scroll extent or position of a scrolling view changed.
    virtual void ScrollStateChanged(CWnd& view) = 0;
    // The nearest colour the screen can show (red + 256 green + 65536 blue).
    virtual uint32_t NearestColour(uint32_t rgb) = 0;
    virtual void SetWaitCursor(bool on) = 0;

    virtual void FrameCreated(CFrameWnd& frame) = 0;
    virtual void FrameDestroyed(CFrameWnd& frame) = 0;
    // Ends the message loop in the ordinary way once the current handler has
    // returned; the framework then closes its documents (the main window was
    // closed). Distinct from ProcessServices::EndProgram, which ends at once.
    virtual void EndMessageLoop(int exitCode) = 0;
};

// What the file selection screen lists. The back end shows the entries
// under Recent first, then the pattern files of folder, then the bundled
// samples (marked as such), and offers "Open Other..." and, when canCancel,
// "Cancel". The user's choices go to the frame: OnFileListChoose,
// OnFileListOpenOther, OnFileListCancel.
// A pattern file's picture for the file list.
struct FilePicture {
    bool readable = false;  // false: the file could not be read as a pattern
    // Not readable because its cells do not fit the board (rather than a
    // file that is no pattern); cellsWide x cellsHigh then give the
    // pattern's size (0 x 0 when unknown) and boardWide x boardHigh the board's.
    bool tooBig = false;
    int boardWide = 0;
    int boardHigh = 0;
    // When not readable: what opening the file would say, in a line or two.
    std::string problem;
    int cellsWide = 0;  // the pattern's box in cells (0 x 0 when empty)
    int cellsHigh = 0;
    int side = 0;                  // pixels a side
    std::vector<uint32_t> pixels;  // side x side, rows top first, red + 256 green + 65536 blue
};

struct FileListRequest {
    std::string filter;  // "Name|*.a;*.b|Name|*.c||"
    // The folder listed; when it names no folder, documentsFolder (made
    // when missing), else the platform's choice.
    std::string folder;
    std::string documentsFolder;
    std::string samplesFolder;        // "" when there are none
    std::vector<std::string> recent;  // full paths, the most recent first
    bool canCancel = false;           // a pattern is open to return to
    // Makes a file's picture. The back end calls it on a worker thread, so it
    // touches nothing another thread uses; empty: no pictures. Pictures are
    // kept by path and modification time while pictureKey (what else they
    // depend on: the palette, the board size) stays the same.
    std::function<FilePicture(const std::string& path)> makePicture;
    std::string pictureKey;
};

// A graph beside the view (the population graph), drawn by the back end from
// a finished picture: the program has reduced its data to one span (least
// and greatest value) per pixel column already.
struct GraphSeries {
    std::string name;
    uint32_t rgb = 0;                                  // red + 256 green + 65536 blue
    std::vector<std::pair<int32_t, int32_t>> columns;  // low, high; left to right
};

struct GraphPicture {
    int64_t firstX = 0;  // the x axis: the first and last value of the columns
    int64_t lastX = 0;
    int32_t minY = 0;  // the y axis
    int32_t maxY = 0;
    std::vector<GraphSeries> series;
    std::string caption;  // the current values, shown above the plot
};

struct GraphPanelRequest {
    std::string title;
    bool floating = false;  // a window of its own rather than a dock
    // The right-click menu: commands sent to the frame as the menu's are.
    std::vector<MenuItem> menu;
    // The user docked the panel (false) or made it a window of its own
    // (true); the user closed it.
    std::function<void(bool floating)> placed;
    std::function<void()> closed;
};

// The frame's command bar and title, and the file selection screen shown in
// the frame.
class FrameServices {
public:
    virtual ~FrameServices() = default;
    virtual void InstallCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) = 0;
    // The enabled or checked state of the frame's toolbar buttons may have
    // changed (the idle-time refresh ran).
    virtual void CommandStatesChanged(CFrameWnd& frame) = 0;
    virtual void SetFrameTitle(CFrameWnd& frame, const std::string& title) = 0;
    // The back end tells the frame once the screen is up (OnFileListOpened)
    // and once it has gone (OnFileListClosed), whoever closed it.
    virtual void ShowFileList(CFrameWnd& frame, const FileListRequest& request) = 0;
    virtual void CloseFileList(CFrameWnd& frame) = 0;
    // The command bar of the file selection screen's own window: a menu and
    // the tooltips that go with it (no toolbar).
    virtual void InstallFileListCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) = 0;

    // The graph panel: shown (or brought up to date with request), hidden,
    // the pixel columns its plot has across (0 while hidden), its picture,
    // and the panel as it is drawn now as PNG bytes (empty while hidden).
    virtual void ShowGraphPanel(CFrameWnd& frame, const GraphPanelRequest& request) = 0;
    virtual void HideGraphPanel(CFrameWnd& frame) = 0;
    virtual int GraphColumns(CFrameWnd& frame) = 0;
    virtual void SetGraphPicture(CFrameWnd& frame, const GraphPicture& picture) = 0;
    virtual std::string GraphImagePng(CFrameWnd& frame) = 0;
};

// Modal dialogs and their controls, the dialog bar, message boxes and the
// file dialogs.
class DialogServices {
public:
    virtual ~DialogServices() = default;
    // The framework changed a control's text, check, visibility, items or
    // selection; a back end showing the control refreshes it.
    virtual void ControlChanged(ControlHost& host, int id) = 0;
    virtual void SetFocusControl(ControlHost& host, int id) = 0;
    // Shows the dialog modally and returns when the dialog has ended (its
    // EndDialog was called) or was closed by the platform.
    virtual void RunModalDialog(CDialog& dialog) = 0;
    virtual void DialogBarCreated(CDialogBar& bar) = 0;
    virtual void DialogBarDestroyed(CDialogBar& bar) = 0;
    virtual int MessageBox(const MessageBoxRequest& request) = 0;
    // The chosen full path, or nothing when the user cancelled.
    virtual std::optional<std::string> RunFileDialog(const FileDialogRequest& request) = 0;
};

// Files and folders. A save's target is found, and its new file made,
// through the FileRole part (files/file_role.h), the one safe replace's.
class FileServices : public FileRole {
public:
    ~FileServices() override = default;
    // Opens path as flags say, following a last link only where the system
    // itself would and never a link another user may have put in a shared
    // folder. A file opened for reading never blocks the program and must be
    // a file: a pipe, socket or device is refused at once (IsPipe,
    // IsDevice).
    virtual std::unique_ptr<PlatformFile> OpenFile(const std::string& path, unsigned flags,
                                                   FileError& cause) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // What path names, links followed (for what is shown, never for what is
    // written).
    virtual FileFacts QueryFile(const std::string& path) = 0;
    // Bytes available to the user on the volume holding folder ("" is the
    // platform's choice of volume).
    virtual bool GetFreeSpace(const std::string& folder, uint64_t& bytes) = 0;
    // A new, empty folder under the system's temporary folder that only the
    // user may enter, read or write (never the working directory); its full
    // path, or nothing when none could be made.
    virtual std::optional<std::string> MakePrivateTempFolder() = 0;
    // Removes an empty folder.
    virtual bool RemoveFolder(const std::string& path) = 0;
};

// Integer and text settings under registryKey\application\section\key.
class SettingsServices {
public:
    virtual ~SettingsServices() = default;
    virtual std::optional<int> ReadProfileInt(const std::string& registryKey,
                                              const std::string& application,
                                              const std::string& section,
                                              const std::string& key) = 0;
    virtual bool WriteProfileInt(const std::string& registryKey, const std::string& application,
                                 const std::string& section, const std::string& key, int value) = 0;
    virtual std::optional<std::string> ReadProfileString(const std::string& registryKey,
                                                         const std::string& application,
                                                         const std::string& section,
                                                         const std::string& key) = 0;
    virtual bool WriteProfileString(const std::string& registryKey, const std::string& application,
                                    const std::string& section, const std::string& key,
                                    const std::string& value) = 0;
};

// The system clipboard, read as text.
class ClipboardServices {
public:
    virtual ~ClipboardServices() = default;
    virtual bool OpenClipboard() = 0;
    virtual void CloseClipboard() = 0;
    // The clipboard's data block in the given format (its whole size), or
    // nothing when the clipboard holds no data in that format.
    virtual std::optional<std::vector<uint8_t>> GetClipboardData(unsigned format) = 0;
    // UTF-16 text to the system's 8-bit code page.
    virtual std::vector<uint8_t> ConvertToAnsi(const std::u16string& text) = 0;
    // Replaces everything the clipboard holds with text in the 8-bit code
    // page (no terminating zero), which other programs then paste as text.
    // Only while the clipboard is open; false when it could not be set.
    virtual bool SetClipboardText(const std::string& text) = 0;
};

// Other programs, the desktop shell, and the program's own end.
class ProcessServices {
public:
    virtual ~ProcessServices() = default;
    // Starts a process with a command line and does not wait for it.
    virtual bool StartProcess(const std::string& program, const std::string& commandLine) = 0;
    // Shows a help page (a full path to an HTML file) in the platform's help
    // viewer, at the named anchor when anchor is not empty. Does not wait.
    virtual bool OpenHelp(const std::string& page, const std::string& anchor) = 0;
    // Ends the program at once, without the framework's normal closing.
    virtual void EndProgram() = 0;
    // The shell's full-screen control for a window (flags as the platform's).
    virtual void ShellFullScreen(CWnd& wnd, unsigned flags) = 0;
};

// The time the program goes by: how long work has taken (a frame's budget,
// a rate, how often a panel is redrawn), never the date. Readings never go
// back.
class ClockServices {
public:
    virtual ~ClockServices() = default;
    virtual std::chrono::steady_clock::time_point Now() = 0;
};

// The one platform object: hands out each role. The roles live as long as
// the platform object.
class PlatformServices {
public:
    virtual ~PlatformServices() = default;
    virtual WindowServices& Windows() = 0;
    virtual FrameServices& Frames() = 0;
    virtual DialogServices& Dialogs() = 0;
    virtual FileServices& Files() = 0;
    virtual SettingsServices& Settings() = 0;
    virtual ClipboardServices& Clipboard() = 0;
    virtual ProcessServices& Processes() = 0;
    virtual ClockServices& Clock() = 0;
};

}  // namespace cellarium

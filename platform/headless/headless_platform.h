// The scripted back end: everything the framework asks of a platform, made
// deterministic. Time is a virtual clock that moves only when the driver
// advances it (timers fire then, in order); message boxes, dialogs and file
// dialogs are answered from a script of expectations, or by a default answer
// when the script has none, and every answer is logged. Settings and the
// clipboard are in memory; files and the free-space query are the real ones,
// with optional write faults for tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/frame_wnd.h"
#include "framework/platform_services.h"

namespace cellarium {

// The view's client area as pixels, each red + 256 green + 65536 blue.
class RgbSurface : public DrawingSurface {
public:
    void Resize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    uint32_t Pixel(int x, int y) const {
        return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
    }

    void StretchImage(const IndexedImage& image, const CRect& src, const CRect& dst) override;
    void FillSolid(const CRect& rect, uint32_t rgb) override;

private:
    struct Free {
        void operator()(uint32_t* p) const { std::free(p); }
    };
    int width_ = 0;
    int height_ = 0;
    // Zeroed pages from calloc, so that a surface nothing draws on (the
    // command-line runner's) costs no time.
    std::unique_ptr<uint32_t[], Free> pixels_;
};

// What a script can do with an open modal dialog, as a user would.
class DialogDriver {
public:
    explicit DialogDriver(CDialog& dialog) : dialog_(dialog) {}
    unsigned TemplateId() const { return dialog_.TemplateId(); }
    std::string Caption() const;
    std::string Text(int id) const { return dialog_.GetDlgItemText(id); }
    bool Checked(int id) const { return dialog_.IsDlgButtonChecked(id) != 0; }
    // 0 clear, 1 ticked, 2 the third state (some but not all).
    int CheckState(int id) const { return dialog_.IsDlgButtonChecked(id); }
    bool Enabled(int id) const { return dialog_.IsControlEnabled(id); }
    bool Visible(int id) const { return dialog_.IsControlVisible(id); }
    bool ReadOnly(int id) const { return dialog_.IsControlReadOnly(id); }
    std::vector<std::string> Items(int id) const;
    std::string SelectedItem(int id) const;
    // Replaces an edit control's text, as typing would.
    void Type(int id, const std::string& text) { dialog_.UserTypes(id, text); }
    // Clicks a push button (IDOK, IDCANCEL included) or a check box.
    void Click(int id) { dialog_.UserClicks(id); }
    // Ticks or clears a check box by clicking it when needed.
    void SetCheck(int id, bool on);
    // Chooses the list item with this text; false when there is none.
    bool Select(int id, const std::string& item);
    bool IsOpen() const { return dialog_.IsModalOpen(); }
    CDialog& Dialog() { return dialog_; }

private:
    CDialog& dialog_;
};

class HeadlessPlatform : public PlatformServices {
public:
    HeadlessPlatform();
    ~HeadlessPlatform() override;

    // --- Script ------------------------------------------------------------
    // The next message box is answered with answer; when text is given it
    // must be the box's text.
    void ExpectMessageBox(int answer = IDOK, std::string text = std::string());
    // The next dialog must be templateId (0: any); act plays the user. A
    // dialog still open after act is cancelled (and reported as an error).
    void ExpectDialog(unsigned templateId, std::function<void(DialogDriver&)> act);
    // The next file dialog returns path, or is cancelled when path is empty.
    void ExpectFileDialog(std::optional<std::string> path);
    std::size_t PendingExpectations() const { return script_.size(); }
    void ClearScript() { script_.clear(); }

    // Without an expectation: message boxes answer with their first button,
    // dialogs are confirmed with OK, file dialogs are cancelled.

    const std::vector<std::string>& Transcript() const { return transcript_; }
    // Everything that did not go as the script said (wrong kind, wrong
    // template, wrong text, dialog left open).
    const std::vector<std::string>& ScriptErrors() const { return errors_; }
    std::vector<std::string> MessageTexts() const { return messages_; }
    std::vector<unsigned> DialogsShown() const { return dialogs_; }
    void ClearLog();

    // Called for every message box after it was answered.
    std::function<void(const MessageBoxRequest&, int answer)> onMessageBox;

    // --- The user and the clock --------------------------------------------
    // Chooses a command in the main frame as a user would: only when its
    // update handlers leave it enabled. Runs the queue afterwards.
    bool Command(unsigned id);
    // Ctrl + key, as the application's accelerator table turns it into a
    // command; false when the table has no such key or the command is
    // disabled.
    bool CtrlKey(char key);
    // Runs what the queue holds: paints, then the idle hook with counts
    // 0, 1, ... until it wants no more.
    void Pump();
    // Moves the clock forward, delivering every timer that falls due, each
    // followed by a Pump.
    void AdvanceTime(uint64_t ms);
    uint64_t Now() const { return now_; }
    // The clock the program reads (ClockServices) is the virtual one: each
    // reading stands for work done since the last, and moves on by cost
    // from the later of the last reading and the timers' clock. So a
    // frame's budget ends after a known number of readings, whatever the
    // machine. The timers' clock itself moves only by AdvanceTime. With
    // real time on, readings are the machine's steady clock instead (the
    // runner: as many generations in a frame as the machine makes).
    void SetClockReadingCost(std::chrono::microseconds cost) { readingCost_ = cost; }
    void SetClockRealTime(bool on) { realClock_ = on; }
    int ClockReadings() const { return clockReadings_; }
    // Stylus and keys on a window (the view), each followed by a Pump.
    void LButtonDown(CWnd& wnd, CPoint point, unsigned flags = MK_LBUTTON);
    void MouseMove(CWnd& wnd, unsigned flags, CPoint point);
    void LButtonUp(CWnd& wnd, CPoint point, unsigned flags = 0);
    void RButtonDown(CWnd& wnd, CPoint point, unsigned flags = MK_RBUTTON);
    void RButtonUp(CWnd& wnd, CPoint point, unsigned flags = 0);
    void KeyDown(CWnd& wnd, unsigned key);
    // The pointer goes off the window without a message to it (to a menu,
    // another window). Every stylus message above leaves it at its point.
    void PointerLeaves() { pointerOver_ = nullptr; }
    std::size_t ArmedTimers() const { return timers_.size(); }
    bool TimerArmed(const CWnd& wnd, unsigned id) const;
    // When the armed timer of wnd falls due (0 when none).
    uint64_t TimerDue(const CWnd& wnd, unsigned id) const;
    // The program has ended: at once (EndProgram) or through the end of the
    // message loop.
    bool QuitRequested() const { return quit_; }
    // The message loop ended normally (the main window was closed), with
    // its exit code.
    bool LoopEnded() const { return loopEnded_; }
    int ExitCode() const { return exitCode_; }
    // The window manager closes the main window, as the user's close box
    // would. When the frame lets the loop end, the application closes its
    // documents, as after the loop of a real run.
    void CloseMainWindow();
    // The user picks a file on the file selection screen (an entry of the
    // list or of Recent); false when the screen is not shown or the open
    // failed.
    bool ChooseFromFileList(const std::string& path);
    // "Open Other..." and Cancel (or Esc) on the file selection screen.
    void FileListOpenOther();
    void FileListCancel();
    void SetClientSize(int width, int height);
    // Makes SetTimer refuse (return 0) from now on, or accept again.
    void SetRefuseTimers(bool refuse) { refuseTimers_ = refuse; }
    // Whether paints happen at all (the runner switches them off).
    void SetPainting(bool on) { painting_ = on; }

    // --- Observations --------------------------------------------------------
    const RgbSurface& Surface() const { return surface_; }
    int PaintCount() const { return paints_; }
    CDialogBar* Bar(unsigned templateId) const;
    bool WaitCursorShown() const { return waitCursor_; }
    int WaitCursorChanges() const { return waitCursorChanges_; }
    const std::vector<std::string>& StartedProcesses() const { return processes_; }
    int CommandStateRefreshes() const { return commandStateRefreshes_; }
    bool FileListShown() const { return fileListShown_; }
    // What the file selection screen was last asked to list.
    const FileListRequest& FileList() const { return fileList_; }
    // The graph panel: whether shown, how it was asked for, the last picture
    // and how many pictures were handed over.
    static constexpr int kGraphColumns = 400;
    bool GraphShown() const { return graphShown_; }
    const GraphPanelRequest& GraphRequest() const { return graphRequest_; }
    const GraphPicture& Graph() const { return graphPicture_; }
    int GraphPictures() const { return graphPictures_; }
    // The main window's title.
    const std::string& FrameTitle() const { return frameTitle_; }
    // What the frame installed on the file selection screen's command bar.
    const CommandBarDesc& FileListCommandBar() const { return fileListBar_; }
    // Help pages shown, each as "page#anchor" (or just the page).
    const std::vector<std::string>& HelpShown() const { return help_; }
    // The private temporary folders made, in order.
    const std::vector<std::string>& PrivateFolders() const { return privateFolders_; }
    // The control that last received the focus: (template id, control id).
    std::pair<unsigned, int> LastFocus() const { return lastFocus_; }
    int ShellFullScreenCalls() const { return shellCalls_; }
    // Every file dialog shown, in order, as the program asked for it.
    const std::vector<FileDialogRequest>& FileDialogRequests() const { return fileDialogs_; }

    // --- The display -----------------------------------------------------------
    // The colour the display shows for a colour (red + 256 green + 65536 blue).
    // Unset, the display shows every 24-bit colour as it is.
    void SetNearestColour(std::function<uint32_t(uint32_t)> nearest) {
        nearest_ = std::move(nearest);
    }

    // --- Settings, clipboard, files ------------------------------------------
    // Settings by full key "registry\application\section\key".
    std::optional<int> Setting(const std::string& fullKey) const;
    void SetSetting(const std::string& fullKey, int value) { settings_[fullKey] = value; }
    void SetClipboardText(const std::string& ansi);
    void SetClipboardUnicode(const std::u16string& text);
    void ClearClipboard() { clipboard_.clear(); }
    // The 8-bit text block the clipboard holds, up to its terminating zero.
    std::optional<std::string> ClipboardText() const;
    void SetClipboardBusy(bool busy) { clipboardBusy_ = busy; }
    // Writes to files opened at path, and to the new file a save makes
    // beside path to replace it, fail with cause once limit bytes have been
    // written through all handles opened after this call.
    void FailWritesAfter(const std::string& path, uint64_t limit,
                         FileError cause = FileError::DiskFull);
    // Reads of files opened at path deliver limit bytes in all, then fail with
    // cause (a disk going bad in the middle of a pattern).
    void FailReadsAfter(const std::string& path, uint64_t limit,
                        FileError cause = FileError::HardIO);
    // The next flush, or close, of a file written to path (or of the new
    // file made beside it) fails with cause, as a disk may report at the end.
    void FailFlush(const std::string& path, FileError cause = FileError::HardIO);
    void FailClose(const std::string& path, FileError cause = FileError::HardIO);
    // Called with the name of each new file made beside a target, as soon as
    // it is made: a test plays another user there, who swaps names.
    std::function<void(const std::string& madePath)> onFileMadeBeside;
    // Opening path, or making a file to replace it, fails with cause, as
    // for a file the user may not read or write (tests run as root, whom
    // file permissions do not stop).
    void RefuseOpen(const std::string& path, FileError cause = FileError::AccessDenied);
    // Folders the free-space query was asked about, in order.
    const std::vector<std::string>& FreeSpaceQueries() const { return freeQueries_; }
    // Answers the free-space query for folder with bytes (nothing: failure)
    // instead of asking the file system.
    void SetFreeSpace(const std::string& folder, std::optional<uint64_t> bytes);

    // --- PlatformServices ----------------------------------------------------
    WindowServices& Windows() override;
    FrameServices& Frames() override;
    DialogServices& Dialogs() override;
    FileServices& Files() override;
    SettingsServices& Settings() override;
    ClipboardServices& Clipboard() override;
    ProcessServices& Processes() override;
    ClockServices& Clock() override;

    struct WriteFault {
        uint64_t remaining;
        FileError cause;
    };

private:
    friend class HeadlessWindows;
    friend class HeadlessFrames;
    friend class HeadlessDialogs;
    friend class HeadlessFiles;
    friend class HeadlessSettings;
    friend class HeadlessClipboard;
    friend class HeadlessProcesses;
    friend class HeadlessClock;

    enum class Kind { MessageBox, Dialog, FileDialog };
    struct Expectation {
        Kind kind = Kind::MessageBox;
        int answer = IDOK;
        std::string text;
        unsigned templateId = 0;
        std::function<void(DialogDriver&)> act;
        std::optional<std::string> path;
    };
    struct Timer {
        CWnd* wnd;
        unsigned id;
        unsigned interval;
        uint64_t due;
        uint64_t order;
    };
    struct Window {
        CWnd* wnd;
        bool invalid = false;
        bool erase = false;
    };

    bool TakeExpectation(Kind kind, const std::string& what, Expectation& out);
    void PaintInvalid();
    void Paint(Window& w);
    Window* FindWindow(const CWnd& wnd);

    std::vector<Expectation> script_;
    std::vector<std::string> transcript_;
    std::vector<std::string> errors_;
    std::vector<std::string> messages_;
    std::vector<unsigned> dialogs_;

    uint64_t now_ = 0;
    const CWnd* pointerOver_ = nullptr;
    CPoint pointer_{};
    std::chrono::microseconds readingCost_{1000};
    std::chrono::microseconds lastReading_{0};
    bool realClock_ = false;
    int clockReadings_ = 0;
    uint64_t timerOrder_ = 0;
    std::vector<Timer> timers_;
    std::vector<Window> windows_;
    std::vector<CDialogBar*> bars_;
    bool quit_ = false;
    bool painting_ = true;
    bool refuseTimers_ = false;
    int clientWidth_ = 240;
    int clientHeight_ = 268;
    RgbSurface surface_;
    int paints_ = 0;
    bool waitCursor_ = false;
    int waitCursorChanges_ = 0;
    std::vector<std::string> processes_;
    int commandStateRefreshes_ = 0;
    bool fileListShown_ = false;
    CommandBarDesc fileListBar_;
    FileListRequest fileList_;
    bool graphShown_ = false;
    GraphPanelRequest graphRequest_;
    GraphPicture graphPicture_;
    int graphPictures_ = 0;
    std::string frameTitle_;
    std::vector<std::string> help_;
    std::vector<std::string> privateFolders_;
    bool loopEnded_ = false;
    int exitCode_ = 0;
    std::pair<unsigned, int> lastFocus_{0, 0};
    int shellCalls_ = 0;
    std::vector<FileDialogRequest> fileDialogs_;
    std::function<uint32_t(uint32_t)> nearest_;

    std::map<std::string, int> settings_;
    std::map<std::string, std::string> stringSettings_;
    std::map<unsigned, std::vector<uint8_t>> clipboard_;
    bool clipboardBusy_ = false;
    bool clipboardOpen_ = false;
    std::map<std::string, std::shared_ptr<WriteFault>> faults_;
    std::map<std::string, std::shared_ptr<WriteFault>> readFaults_;
    std::map<std::string, std::shared_ptr<WriteFault>> flushFaults_;
    std::map<std::string, std::shared_ptr<WriteFault>> closeFaults_;
    std::map<std::string, FileError> refusals_;
    std::vector<std::string> freeQueries_;
    std::map<std::string, std::optional<uint64_t>> freeOverrides_;

    std::unique_ptr<WindowServices> windowRole_;
    std::unique_ptr<FrameServices> frameRole_;
    std::unique_ptr<DialogServices> dialogRole_;
    std::unique_ptr<FileServices> fileRole_;
    std::unique_ptr<SettingsServices> settingsRole_;
    std::unique_ptr<ClipboardServices> clipboardRole_;
    std::unique_ptr<ProcessServices> processRole_;
    std::unique_ptr<ClockServices> clockRole_;
};

}  // namespace cellarium

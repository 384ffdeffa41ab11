// The view of the open pattern. One class, its concerns kept in separate
// files: life_view.cpp (construction, the command map, Edit Description and
// Exit Completely), life_view_viewport.cpp (drawing, scrolling, zoom, Fit to
// Screen, Find, Rotate Left and Center, stylus editing and the arrow keys),
// life_view_simulation.cpp (run, step, pause, reload, the speed, Go to
// Generation, status line, idle kicks), life_view_statistics.cpp (statistics recording),
// life_view_palette.cpp (the colour commands and the background erase) and
// life_view_image.cpp (Save As Image).
#pragma once

#include <cstdint>
#include <string>

#include "colour/palette.h"
#include "document/run_loop.h"
#include "document/stats_format.h"
#include "framework/file.h"
#include "framework/view.h"

namespace cellarium {

class CLifeDoc;

class CLifeView : public CScrollView, private GenerationObserver {
public:
    static constexpr unsigned SIMULATION_TIMER_ID = 23;
    static constexpr int32_t kRunInterval = 10;    // milliseconds
    static constexpr int32_t kIdleAllowance = 10;  // idle calls after Run or a kick
    static constexpr uint32_t kMinZoom = 1;
    static constexpr uint32_t kMaxZoom = 32;

    // Starts at the speed kept in the settings.
    CLifeView();
    ~CLifeView() override;

    CLifeDoc* GetDocument() const;
    bool OnCmdMsg(const CmdMsg& msg) override;

    // --- Viewport and editing ----------------------------------------------
    void OnInitialUpdate() override;
    // One copy of the visible block of the board: plain at zoom 1, stretched
    // by the zoom otherwise.
    void OnDraw(CDC* pDC) override;
    // Every scroll, from the bars or the arrow keys; a view that moved is
    // repainted at once.
    bool OnScrollBy(CSize sizeScroll, bool doScroll = true) override;
    // The board cell under a client-area point. Half a cell is taken off
    // before dividing, so a point in the left half of a cell gives the cell on
    // its left. The cell may lie outside the board (negative, or past the
    // last column or row); see IsOnBoard.
    CPoint ClientToCell(CPoint point) const;
    // Whether a cell is one of the current board's.
    bool IsOnBoard(CPoint cell) const;
    // Remembers the cell at the middle of the client area as the centre the
    // next layout returns to, and marks the layout pending.
    void RememberCenter();
    void OnZoomIn();
    void OnZoomOut();
    void OnFitToScreen();
    void OnFindFirst();
    void OnFindNext();
    void OnCenter();
    void OnRotateLeft();
    void OnEditMode();
    void OnUpdateEditMode(CCmdUI* pCmdUI);
    // The stylus at a client point in edit mode: draws the cell under it (or
    // erases it while the status strip's Erase box is ticked). A point with
    // no board cell under it is ignored.
    void EditCellAt(CPoint point);
    void OnLButtonDown(unsigned flags, CPoint point) override;
    void OnMouseMove(unsigned flags, CPoint point) override;
    // The arrow keys scroll by a line.
    void OnKeyDown(unsigned key, unsigned repeat, unsigned flags) override;

    void OnEditDescription();
    void OnEditRules();
    void OnHelpContents();
    void OnExitCompletely();

    // --- Simulation control -------------------------------------------------
    void OnRun();
    void OnStep();
    void OnPause();
    void OnReload();
    // Each tick makes the generations the speed gives it (one, up to 65536,
    // or as many as fit in a frame), shows the last and arms the next tick.
    void OnTimer(unsigned id) override;
    // Go to Generation...: asks for a generation number and runs to it as
    // fast as the program goes, stopping earlier at stagnation; Pause
    // cancels it where it stands.
    void OnGoToGeneration();
    // The speed: a step of the toolbar's list (ID_SPEED_FIRST + step),
    // Faster and Slower. Kept in the settings; a run goes on at the new
    // speed from its next tick.
    void OnSpeed(unsigned id);
    void OnFaster();
    void OnSlower();
    void SetSpeedStep(int step);
    // The speed strip's text: the speed in words, while running with the
    // generations a second achieved; while going to a generation, how far.
    std::string SpeedText() const;
    // Writes the status line into the frame's status strip.
    void UpdateStatusLine();
    // "G:%05d C:%05d B:%05d D:%05d Z:x%d" for the current state.
    std::string StatusLine() const;
    // Gives idle processing ten more calls when it had run out.
    void KickIdle();
    bool IsRunning() const { return m_nRunInterval != 0; }
    void OnUpdateRun(CCmdUI* pCmdUI);
    void OnUpdateStep(CCmdUI* pCmdUI);
    void OnUpdatePause(CCmdUI* pCmdUI);
    void OnUpdateSpeed(CCmdUI* pCmdUI);
    void OnUpdateFaster(CCmdUI* pCmdUI);
    void OnUpdateSlower(CCmdUI* pCmdUI);
    void OnUpdateZoomIn(CCmdUI* pCmdUI);
    void OnUpdateZoomOut(CCmdUI* pCmdUI);

    // While running the speed's wait before the next tick, at least 1 (the
    // timer itself may be armed with 0 at Maximum); 0 while paused.
    int32_t m_nRunInterval = 0;
    TimerHandle m_hTimer = 0;
    int32_t m_nGeneration = 0;
    int32_t m_nBirths = 0;
    int32_t m_nDeaths = 0;
    int m_nSpeedStep = kDefaultSpeedStep;
    // While Go to Generation runs: the generation it started from and the
    // one it stops at (0 otherwise).
    int32_t m_nGoFrom = 0;
    int32_t m_nTargetGeneration = 0;

    // --- Viewport -------------------------------------------------------------
    uint32_t m_nZoom = 1;  // screen pixels per cell: 1, 2, 4, 8, 16 or 32
    // The cell whose top-left corner the next layout brings to the middle of
    // the client area, when m_bRecenter is set (else the layout goes to the
    // middle of the board).
    CPoint m_ptCenter{};
    bool m_bRecenter = false;
    // The next draw sets the scroll extent for the zoom and scrolls.
    bool m_bLayoutPending = true;
    bool m_bEditMode = false;
    CPoint m_ptFind{};  // the cell Find examined last

    // --- Colour commands and image export ------------------------------------
    // Makes the block the current palette (both boards re-made with it) and
    // redraws, keeping the cell at the middle of the view there.
    void ApplyPalette(PaletteBlock& palette);
    // The six palette commands (Autumn, Shades of Blue, Rainbow, Sunshine,
    // Black and White, Custom) and their check marks.
    void OnPaletteCommand(unsigned id);
    void OnUpdatePaletteCommand(CCmdUI* pCmdUI);
    void OnLoadCustomColors();
    void OnInvertColors();
    void OnReversePalette();
    // Paints the client area outside the board in the dead-cell colour.
    bool OnEraseBkgnd(CDC& dc) override;
    void OnSaveAsImage();
    // Export as RLE...: the current board to a file the user names, as Save
    // writes but in run-length form. Copy as RLE: the same text, with the
    // plain rule, to the clipboard.
    void OnExportRle();
    void OnCopyRle();

    // --- Statistics recording ---------------------------------------------------
    void OnStatsStart();
    void OnStatsStop();
    // Appends the data line of a generation (called by the run loop).
    void WriteStatsLine(const GenerationRecord& record);
    StatsColumns RecordedColumns() const {
        return StatsColumns{m_bRecGeneration, m_bRecTotal, m_bRecBirths, m_bRecDeaths};
    }

    bool m_bRecording = false;
    bool m_bRecGeneration = true;
    bool m_bRecTotal = true;
    bool m_bRecBirths = false;
    bool m_bRecDeaths = false;
    CFile m_fileStats;

private:
    // The viewport's part of the command map.
    bool OnViewportCmdMsg(const CmdMsg& msg);
    // The colour and image commands' part of the command map.
    bool OnColourCmdMsg(const CmdMsg& msg);
    // Sets the scroll extent for the zoom and scrolls to the remembered centre
    // (or the middle of the board) when a layout is pending.
    void LayoutIfPending();
    // The run loop's report of each generation: its statistics line.
    void GenerationDone(const GenerationRecord& record) override;
    // Starts the timer for a run; target is Go to Generation's (0: none).
    void StartRun(int32_t target);
    // Arms the next tick after the speed's wait; false when the platform
    // refused.
    bool ArmTick();
    // The run has paused or stopped: tells the document, shows the speed.
    void EndRun();
    // The speed the next tick runs at: the chosen one, or the fastest while
    // going to a generation.
    RunSpeed TickSpeed() const;
    // Has the document make generations within limits, then shows the last
    // one; stops the run with the message at stagnation.
    RunStop Advance(const RunLimits& limits);
    void UpdateSpeedText();
    // The platform would not arm the simulation timer: back to paused.
    void TimerRefused();
    // A write to the statistics file failed: recording stops, and the user
    // is told once (ReportStatsWriteFailure) when the generations in hand
    // are done.
    void StatsWriteFailed();
    void ReportStatsWriteFailure();

    RateMeter m_rate;
    std::string m_strStatsFailure;
};

// The texts the view shows.
extern const char* const kStagnationMessage;
// Go to Generation asked for a generation the pattern has reached already.
std::string NotAheadMessage(int32_t current);
extern const char* const kNoMoreFoundMessage;
extern const char* const kExitQuestion;
extern const char* const kStatsOpenFailedMessage;
std::string StatsWriteFailedMessage(const std::string& path, FileError cause);
// Save As Image: the file dialog's filter, and what a failed export tells the
// user (code is the image writer's result; damaged: the file was being
// written in place and may be damaged).
extern const char* const kImageFilter;
extern const char* const kRleFilter;
extern const char* const kPaletteFilter;
std::string ImageExportFailedMessage(const std::string& path, int code, bool damaged = false);

}  // namespace cellarium

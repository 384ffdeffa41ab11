// The view of the open pattern. One class, its concerns kept in separate
// files: life_view.cpp (construction, the command map, Edit Description and
// Exit Completely), life_view_viewport.cpp (drawing, scrolling, zoom, Fit to
// Screen, Find, Rotate Left and Center, stylus editing and the arrow keys),
// life_view_simulation.cpp (run, step, pause, reload, the speed, Go to
// Generation, status line, idle kicks), life_view_statistics.cpp (statistics recording),
// life_view_palette.cpp (the colour commands and the background erase) and
// life_view_image.cpp (Save As Image).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "colour/palette.h"
#include "colour/palette_file.h"
#include "document/run_loop.h"
#include "document/stats_format.h"
#include "document/undo_history.h"
#include "engine/region_edit.h"
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
    // Pixels of margin around the board in the scroll extent.
    static constexpr int kBoardMargin = 16;

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
    // The board cell drawn under a client-area point: every pixel of a drawn
    // cell gives that cell. The cell may lie outside the board (negative, or
    // past the last column or row); see IsOnBoard.
    CPoint ClientToCell(CPoint point) const;
    // Whether a cell is one of the current board's.
    bool IsOnBoard(CPoint cell) const;
    // The board pixel (at this zoom) at the client area's top-left corner:
    // the scroll position less the margin.
    CPoint BoardScroll() const;
    // Remembers the point of the board at the middle of the client area (or
    // under the pointer while a zoom it asked for runs), to the pixel, as the
    // point the next layout brings back there, and marks the layout pending.
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
    // no board cell under it is ignored. A stroke continued by a drag edits
    // the whole line of cells from the last point to this one.
    void EditCellAt(CPoint point, bool continueStroke = false);
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
    // Step pressed count times in one go: the same generations, counters and
    // statistics lines, with the view brought up to date once at the end.
    // Ends early at stagnation, after its message; returns why it ended.
    RunStop StepGenerations(int64_t count);
    void OnPause();
    void OnReload();
    // Reload needs a file: a new or pasted pattern has none.
    void OnUpdateReload(CCmdUI* pCmdUI);
    // A pattern that has just been opened or made new starts at generation
    // 0 with no births or deaths, whatever ran before it; a running
    // simulation is paused first.
    void StartCountingAfresh();
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
    // The cell whose top-left corner Find and Fit to Screen bring to the
    // middle of the client area.
    CPoint m_ptCenter{};
    // When m_bRecenter is set the next layout brings the board point
    // m_ptCenterFine (in kFineUnits per cell) to the client point
    // m_ptCenterAt (else the layout goes to the middle of the board).
    static constexpr int kFineUnits = 64;
    CPoint m_ptCenterFine{};
    CPoint m_ptCenterAt{};
    bool m_bRememberedValid = false;  // m_ptCenterFine was set by RememberCenter
    bool m_bRecenter = false;
    // The cell the stylus edited last in the stroke under way.
    CPoint m_ptStroke{};
    bool m_bStroke = false;
    // The next draw sets the scroll extent for the zoom and scrolls.
    bool m_bLayoutPending = true;
    bool m_bEditMode = false;
    CPoint m_ptFind{};  // the cell Find examined last
    // A faint grid between the cells from kGridZoom up: the setting
    // "View"/"Grid" (0 or 1, off unless set), read when a document opens.
    static constexpr uint32_t kGridZoom = 8;
    bool m_bGrid = false;

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
    // Paints the client area outside the board: the margin colour with a
    // frame line along the board's edge.
    bool OnEraseBkgnd(CDC& dc) override;
    void PaintMargin(CDC& dc);
    void OnSaveAsImage();
    // Export as RLE...: the current board to a file the user names, as Save
    // writes but in run-length form. Copy as RLE: the same text, with the
    // plain rule, to the clipboard.
    void OnExportRle();
    void OnCopyRle();

    // --- Statistics recording ---------------------------------------------------
    void OnStatsStart();
    void OnStatsStop();
    // Start is enabled while not recording, Stop while recording.
    void OnUpdateStatsStart(CCmdUI* pCmdUI);
    void OnUpdateStatsStop(CCmdUI* pCmdUI);
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

    // --- Undo, the selection and floating paste (life_view_selection.cpp) ---
    // Undo and Redo name the step in the menu ("Undo Draw"); a run going on
    // is paused first.
    void OnEditUndo();
    void OnEditRedo();
    // Pauses a run, then takes a step back (or forward again) with its counters.
    void UndoOrRedo(bool redo);
    void OnUpdateEditUndo(CCmdUI* pCmdUI);
    void OnUpdateEditRedo(CCmdUI* pCmdUI);
    // Copy puts the selected cells on the clipboard as RLE text with LF line
    // ends; Cut copies, then clears.
    void OnEditCopy();
    void OnEditCut();
    // Reads the clipboard as a pattern and floats it under the pointer until
    // a click drops it (or Esc cancels).
    void OnEditPaste();
    void OnEditClear();
    void OnEditClearOutside();
    void OnEditFillRandom();
    void OnEditFlipHorizontal();
    void OnEditFlipVertical();
    void OnEditRotateClockwise();
    void OnEditRotateAnticlockwise();
    // A flip (sense: horizontal) or a quarter turn (sense: clockwise) of the
    // selected cells in place, as one undo step; cells that would leave the
    // board are dropped and counted.
    void MoveSelectedCells(UndoKind kind, bool turn, bool sense);
    // Selects the box around the live cells.
    void OnEditSelectAll();
    // Drops a floating paste, else the selection.
    void OnEditCancel();
    void OnUpdateNeedsSelection(CCmdUI* pCmdUI);
    void OnUpdateEditPaste(CCmdUI* pCmdUI);
    void OnUpdateEditCancel(CCmdUI* pCmdUI);
    // The stylus lifted: ends a stroke (one undo step) or a selecting drag.
    void OnLButtonUp(unsigned flags, CPoint point) override;
    // In edit mode a drag with the right button, or the left with Shift,
    // selects a rectangle of cells.
    void OnRButtonDown(unsigned flags, CPoint point) override;
    void OnRButtonUp(unsigned flags, CPoint point) override;
    // Called first by the stylus and key handlers: true when the selection
    // or a floating paste took the event.
    bool SelectionButtonDown(unsigned flags, CPoint point);
    bool SelectionMouseMove(unsigned flags, CPoint point);
    bool SelectionKeyDown(unsigned key);
    // The selection's outline and a floating paste over the board.
    void DrawSelection(CDC* pDC);
    RunCounters Counters() const { return RunCounters{m_nGeneration, m_nBirths, m_nDeaths}; }

    bool m_bHasSelection = false;
    Rect m_rcSelection{};  // inclusive cells, on the board
    bool m_bSelecting = false;
    bool m_bIgnoreDrag = false;  // the press only removed the selection
    CPoint m_ptAnchor{};         // the cell a selecting drag started at
    bool m_bFloating = false;
    CellBlock m_floating;
    CPoint m_ptFloat{};  // the board cell under the floating pattern's top-left cell
    int m_nFillPercent = 50;
    uint64_t m_nFillSeed = 1;

private:
    bool OnSelectionCmdMsg(const CmdMsg& msg);
    // The board cell under a client point, brought onto the board.
    CPoint ClampedCell(CPoint point) const;
    void SetSelection(Rect cells);
    void DropSelection();
    // Shows the selection's size in place of the Edit Mode label.
    void UpdateSelectionLabel();
    // One selection command as one undo step, redrawn afterwards.
    void EditSelection(UndoKind kind, Rect area, const std::function<void(CellBoard&)>& edit);
    void ReportDropped(int64_t dropped);

    // The viewport's part of the command map.
    bool OnViewportCmdMsg(const CmdMsg& msg);
    // The colour and image commands' part of the command map.
    bool OnColourCmdMsg(const CmdMsg& msg);
    // Identify, Stop when the pattern repeats and the population graph
    // (life_view_analysis.cpp).
    bool OnAnalysisCmdMsg(const CmdMsg& msg);
    void OnIdentify();
    void OnUpdateIdentify(CCmdUI* pCmdUI);

public:
    // --- Population graph (life_view_graph.cpp) ----------------------------
    // Shows or hides the graph panel; kept in the settings, as is whether it
    // is docked or a window of its own.
    void OnPopulationGraph();
    void OnUpdatePopulationGraph(CCmdUI* pCmdUI);
    void OnGraphBirthsDeaths();
    void OnGraphSaveCsv();
    void OnGraphSavePng();
    bool GraphShown() const;
    // Stop when the pattern repeats, and the graph when it was shown last,
    // as the settings say.
    void ApplyAnalysisSettings();
    void OnStopWhenRepeats();
    void OnUpdateStopWhenRepeats(CCmdUI* pCmdUI);
    bool m_bStopWhenRepeats = false;
    // Hands the panel a new picture: now, or when a thirtieth of a second has
    // passed since the last.
    void UpdateGraph(bool now);
    // The picture of the document's counts over columns pixel columns.
    GraphPicture MakeGraphPicture(int columns) const;

private:
    bool m_bGraphShown = false;
    std::chrono::steady_clock::time_point m_graphShownAt{};
    // Sets the scroll extent for the zoom and scrolls to the remembered centre
    // (or the middle of the board) when a layout is pending.
    void LayoutIfPending();
    // Brings a cell's top-left corner to the middle of the client area at the
    // next layout.
    void CenterOnCell(CPoint cell);
    // Draws or erases one cell of the board (on the board).
    void EditCell(CPoint cell, bool erase);
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
    // A line could not be written whole: the file is cut back to the
    // whole bytes before it, and recording stops.
    void StatsWriteFailed(uint64_t whole);
    void ReportStatsWriteFailure();

    RateMeter m_rate;
    std::string m_strStatsFailure;
};

// The texts the view shows.
extern const char* const kStagnationMessage;
// "Repeats with period P from generation S."
std::string RepeatsMessage(int64_t period, int64_t start);
// The settings section of the population graph.
extern const char* const kGraphSection;
// Go to Generation asked for a generation the pattern has reached already.
std::string NotAheadMessage(int32_t current);
extern const char* const kNoMoreFoundMessage;
extern const char* const kExitQuestion;
extern const char* const kStatsOpenFailedMessage;
// Ends the status line while statistics are being recorded.
extern const char* const kRecordingMarker;
std::string StatsWriteFailedMessage(const std::string& path, FileError cause);
// What Load Custom Colors says of a file that opened but is no palette.
std::string PaletteFileRefusedMessage(const std::string& path, PaletteFileProblem problem);
// Save As Image: the file dialog's filter, and what a failed export tells the
// user (code is the image writer's result; damaged: the file was being
// written in place and may be damaged).
extern const char* const kImageFilter;
// The colours beyond the board's edge for a dead-cell colour (red + 256 green
// + 65536 blue): the margin, and the frame line along the edge. Both differ
// clearly from the dead-cell colour.
uint32_t MarginColour(uint32_t dead);
uint32_t FrameColour(uint32_t dead);
// The colour of the faint grid between cells over a dead-cell colour.
uint32_t GridColour(uint32_t dead);
extern const char* const kRleFilter;
extern const char* const kPaletteFilter;
std::string ImageExportFailedMessage(const std::string& path, int code, bool damaged = false);
// What the selection commands and paste tell the user.
std::string DroppedCellsMessage(int64_t dropped);
std::string PasteTooLargeMessage(int width, int height);
extern const char* const kNothingToPasteMessage;

}  // namespace cellarium

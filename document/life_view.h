// The view of the open pattern. Its concerns are small classes of their own,
// each with its state, its commands and their update handlers, and a file
// pair life_view_<concern>.h/.cpp: the viewport (zoom, scrolling, drawing,
// Fit, Find), editing (edit mode with the stylus, undo, the selection and
// paste), the simulation control (run, step, speed, status line), statistics
// recording, the population graph, analysis (Identify, Stop when the pattern
// repeats), the colour commands and the exports. The view routes the
// window's messages and every command to them; life_view.cpp keeps Edit
// Description, Edit Rules, Help and Exit Completely.
#pragma once

#include <cstdint>
#include <string>

#include "colour/palette_file.h"
#include "document/life_view_analysis.h"
#include "document/life_view_graph.h"
#include "document/life_view_image.h"
#include "document/life_view_palette.h"
#include "document/life_view_selection.h"
#include "document/life_view_simulation.h"
#include "document/life_view_statistics.h"
#include "document/life_view_viewport.h"
#include "framework/file.h"
#include "framework/view.h"

namespace cellarium {

class CLifeDoc;

class CLifeView : public CScrollView {
public:
    static constexpr unsigned SIMULATION_TIMER_ID = SimulationControl::SIMULATION_TIMER_ID;
    static constexpr int32_t kRunInterval = SimulationControl::kRunInterval;
    static constexpr int32_t kIdleAllowance = SimulationControl::kIdleAllowance;

    CLifeView();
    ~CLifeView() override;

    CLifeDoc* GetDocument() const;
    // The view's own commands, then each concern's, then the document's.
    bool OnCmdMsg(const CmdMsg& msg) override;

    ViewportControl& Viewport() { return m_viewport; }
    const ViewportControl& Viewport() const { return m_viewport; }
    EditingControl& Editing() { return m_editing; }
    const EditingControl& Editing() const { return m_editing; }
    SimulationControl& Simulation() { return m_simulation; }
    const SimulationControl& Simulation() const { return m_simulation; }
    StatisticsControl& Statistics() { return m_statistics; }
    const StatisticsControl& Statistics() const { return m_statistics; }
    GraphControl& Graph() { return m_graph; }
    const GraphControl& Graph() const { return m_graph; }
    AnalysisControl& Analysis() { return m_analysis; }
    const AnalysisControl& Analysis() const { return m_analysis; }
    ColourControl& Colours() { return m_colours; }

    // --- The window's messages ------------------------------------------------
    void OnInitialUpdate() override;
    void OnDraw(CDC* pDC) override;
    // Every scroll, from the bars or the arrow keys; a view that moved is
    // repainted at once.
    bool OnScrollBy(CSize sizeScroll, bool doScroll = true) override;
    bool OnEraseBkgnd(CDC& dc) override;
    void OnTimer(unsigned id) override;
    void OnLButtonDown(unsigned flags, CPoint point) override;
    void OnMouseMove(unsigned flags, CPoint point) override;
    void OnLButtonUp(unsigned flags, CPoint point) override;
    void OnRButtonDown(unsigned flags, CPoint point) override;
    void OnRButtonUp(unsigned flags, CPoint point) override;
    void OnKeyDown(unsigned key, unsigned repeat, unsigned flags) override;

    // --- What the concerns ask of each other, in short ----------------------
    bool IsRunning() const { return m_simulation.IsRunning(); }
    void UpdateStatusLine() { m_simulation.UpdateStatusLine(); }
    void KickIdle() { m_simulation.KickIdle(); }
    RunStop StepGenerations(int64_t count) { return m_simulation.StepGenerations(count); }
    RunCounters Counters() const { return m_simulation.Counters(); }
    CPoint ClientToCell(CPoint point) const { return m_viewport.ClientToCell(point); }
    CPoint BoardScroll() const { return m_viewport.BoardScroll(); }
    void RememberCenter() { m_viewport.RememberCenter(); }

    void OnEditDescription();
    void OnEditRules();
    void OnHelpContents();
    void OnExitCompletely();

private:
    ViewportControl m_viewport{*this};
    EditingControl m_editing{*this};
    SimulationControl m_simulation{*this};
    StatisticsControl m_statistics{*this};
    GraphControl m_graph{*this};
    AnalysisControl m_analysis{*this};
    ColourControl m_colours{*this};
    ExportControl m_export{*this};
};

// The texts the view shows.
extern const char* const kStagnationMessage;
// "Repeats with period P from generation S."
std::string RepeatsMessage(int64_t period, int64_t start);
// The settings section of the population graph.
extern const char* const kGraphSection;
// Go to Generation asked for a generation the pattern has reached already.
std::string NotAheadMessage(int64_t current);
extern const char* const kNoMoreFoundMessage;
extern const char* const kExitQuestion;
extern const char* const kStatsOpenFailedMessage;
// Ends the status line while statistics are being recorded.
extern const char* const kRecordingMarker;
std::string StatsWriteFailedMessage(const std::string& path, FileError cause);
// What Load Custom Colors says of a file that opened but is no palette.
std::string PaletteFileRefusedMessage(const std::string& path, PaletteFileProblem problem);
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

// The view of the open pattern. One class, its concerns kept in separate
// files: life_view.cpp (construction, commands, drawing and the board
// commands), life_view_simulation.cpp (run, step, pause, reload, status line,
// idle kicks), life_view_statistics.cpp (statistics recording),
// life_view_palette.cpp (the colour commands and the background erase) and
// life_view_image.cpp (Save As Image).
#pragma once

#include <cstdint>
#include <string>

#include "colour/palette.h"
#include "document/stats_format.h"
#include "framework/file.h"
#include "framework/view.h"

namespace cellarium {

class CLifeDoc;

class CLifeView : public CScrollView {
public:
    static constexpr unsigned SIMULATION_TIMER_ID = 23;
    static constexpr int32_t kRunInterval = 10;    // milliseconds
    static constexpr int32_t kIdleAllowance = 10;  // idle calls after Run or a kick
    static constexpr uint32_t kMinZoom = 1;
    static constexpr uint32_t kMaxZoom = 32;

    CLifeView() = default;
    ~CLifeView() override;

    CLifeDoc* GetDocument() const;
    bool OnCmdMsg(const CmdMsg& msg) override;

    // --- Drawing and the board commands -----------------------------------
    void OnInitialUpdate() override;
    void OnDraw(CDC* pDC) override;
    bool OnScrollBy(CSize sizeScroll, bool doScroll = true) override;
    // The board cell under a client-area point (it may lie outside the board).
    CPoint ClientToCell(CPoint point) const;
    // Remembers the cell at the middle of the client area as the centre the
    // next layout returns to, and marks the layout pending.
    void RememberCenter();
    void OnCenter();
    void OnRotateLeft();
    void OnEditDescription();
    void OnExitCompletely();

    // --- Simulation control -------------------------------------------------
    void OnRun();
    void OnStep();
    void OnPause();
    void OnReload();
    void OnTimer(unsigned id) override;
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
    void OnUpdateZoomIn(CCmdUI* pCmdUI);
    void OnUpdateZoomOut(CCmdUI* pCmdUI);

    int32_t m_nRunInterval = 0;
    TimerHandle m_hTimer = 0;
    int32_t m_nGeneration = 0;
    int32_t m_nBirths = 0;
    int32_t m_nDeaths = 0;

    // --- Viewport -------------------------------------------------------------
    uint32_t m_nZoom = 1;
    CPoint m_ptCenter{};
    bool m_bRecenter = false;
    bool m_bLayoutPending = true;

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

    // --- Statistics recording ---------------------------------------------------
    void OnStatsStart();
    void OnStatsStop();
    // Appends the data line of the step just made (called by OnStep).
    void WriteStatsLine();
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
    // The colour and image commands' part of the command map.
    bool OnColourCmdMsg(const CmdMsg& msg);
    // Sets the scroll extent for the zoom and scrolls to the remembered centre
    // (or the middle of the board) when a layout is pending.
    void LayoutIfPending();
    // The platform would not arm the simulation timer: back to paused.
    void TimerRefused();
    // A write to the statistics file failed: recording stops and the user is
    // told once.
    void StatsWriteFailed();
};

// The texts the view shows.
extern const char* const kStagnationMessage;
extern const char* const kExitQuestion;
extern const char* const kStatsOpenFailedMessage;
std::string StatsWriteFailedMessage(const std::string& path, FileError cause);
// Save As Image: the file dialog's filter, and what a failed export tells the
// user (code is the image writer's result).
extern const char* const kImageFilter;
extern const char* const kPaletteFilter;
std::string ImageExportFailedMessage(const std::string& path, int code);

}  // namespace cellarium

// The population graph: the document's counts of every generation since the
// last Open or Reload, reduced to one span a pixel column and handed to the
// back end's graph panel at most about 30 times a second; its right-click
// menu saves the counts as a statistics file or the panel as a PNG image.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "document/view_control.h"
#include "framework/platform_services.h"

namespace cellarium {

class CCmdUI;

class GraphControl final : public ViewControl {
public:
    using ViewControl::ViewControl;
    bool OnCmdMsg(const CmdMsg& msg) override;

    bool Shown() const { return m_bGraphShown; }
    // Shows or hides the graph panel; kept in the settings, as is whether it
    // is docked or a window of its own.
    void OnPopulationGraph();
    void OnUpdatePopulationGraph(CCmdUI* pCmdUI);
    void OnGraphBirthsDeaths();
    void OnGraphSaveCsv();
    void OnGraphSavePng();
    // Shows the graph when it was shown last, as the settings say.
    void ApplySettings();
    // Hands the panel a new picture: now, or when a thirtieth of a second has
    // passed since the last.
    void Update(bool now);
    // The picture of the document's counts over columns pixel columns.
    GraphPicture MakeGraphPicture(int columns) const;

private:
    bool m_bGraphShown = false;
    std::chrono::steady_clock::time_point m_graphShownAt{};
};

// What Save as CSV adds once the older counts are kept only as blocks: the
// run began at generation first, and exact counts begin at exactFrom.
std::string ThinnedCountsMessage(int64_t first, int64_t exactFrom);

}  // namespace cellarium

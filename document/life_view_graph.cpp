// The population graph (life_view_graph.h).
#include "document/life_view_graph.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "document/life_doc.h"
#include "document/life_view.h"
#include "framework/frame_wnd.h"
#include "framework/safe_replace.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kGraphSection = "Population Graph";
const char* const kCsvFilter = "CSV Files (*.csv)|*.csv||";
const char* const kPngFilter = "PNG Images (*.png)|*.png||";

std::string ThinnedCountsMessage(int64_t first, int64_t exactFrom) {
    return "Generations " + std::to_string(first) + " to " + std::to_string(exactFrom - 1) +
           " are kept only as the least and greatest counts of blocks of generations, so that "
           "the graph's history stays within its memory. Each line of the file gives a range of "
           "generations with the least and greatest counts over it; from generation " +
           std::to_string(exactFrom) +
           " on, one generation a line. Statistics recording keeps every generation exactly.";
}

namespace {

constexpr auto kGraphInterval = std::chrono::milliseconds(33);
constexpr uint32_t kLiveColour = 0x00A000;   // green (red + 256 green + 65536 blue)
constexpr uint32_t kBirthColour = 0xD07000;  // blue
constexpr uint32_t kDeathColour = 0x0000D0;  // red

int GraphSetting(const char* key, int fallback) {
    CWinApp* app = TheApp();
    return app ? app->GetProfileInt(kGraphSection, key, fallback) : fallback;
}

void SetGraphSetting(const char* key, int value) {
    if (CWinApp* app = TheApp()) app->WriteProfileInt(kGraphSection, key, value);
}

// Writes bytes over the file at path as Save does; false after telling the
// user.
bool ReplaceWith(CWnd& owner, const std::string& path, const std::string& bytes) {
    ReplacingFile out;
    bool ok = out.Open(path);
    std::size_t whole = 0;
    while (ok && whole < bytes.size()) {
        constexpr std::size_t kPiece = 64 * 1024;
        const std::size_t end = std::min(bytes.size(), whole + kPiece);
        ok = out.File().Write(bytes.data() + whole, end - whole);
        if (ok) whole = end;
    }
    if (ok)
        ok = out.Commit();
    else
        out.Abandon();
    if (!ok) {
        std::string text = "Unable to save " + path + ".";
        if (out.MayBeDamaged()) text += " " + MayBeDamagedText(path);
        owner.MessageBox(text, std::string(), MB_OK | MB_ICONEXCLAMATION);
    }
    return ok;
}

// Writes the counts over the file at path as Save does, a piece of whole
// lines at a time as they are formatted; false after telling the user. A
// file written in place that the disk stops short ends with a whole line.
bool SaveCounts(CWnd& owner, const std::string& path, const PopulationHistory& history,
                const StatsColumns& columns) {
    constexpr std::size_t kPiece = 64 * 1024;
    ReplacingFile out;
    bool ok = out.Open(path);
    uint64_t whole = 0;
    std::string piece;
    auto flush = [&] {
        ok = ok && out.File().Write(piece.data(), piece.size());
        if (ok) whole += piece.size();
        piece.clear();
        return ok;
    };
    if (ok) {
        piece.reserve(kPiece);
        ok = history.WriteText(columns, [&](const char* line, std::size_t length) {
            if (piece.size() + length > kPiece && !flush()) return false;
            piece.append(line, length);
            return true;
        });
        ok = ok && flush();
    }
    if (ok)
        ok = out.Commit();
    else
        out.AbandonKeeping(whole);
    if (!ok) {
        std::string text = "Unable to save " + path + ".";
        if (out.MayBeDamaged()) text += " " + MayBeDamagedText(path);
        owner.MessageBox(text, std::string(), MB_OK | MB_ICONEXCLAMATION);
    }
    return ok;
}

}  // namespace

bool GraphControl::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<GraphControl> map =
        CommandMap<GraphControl>()
            .On(ID_POPULATION_GRAPH, &GraphControl::OnPopulationGraph)
            .OnUpdate(ID_POPULATION_GRAPH, &GraphControl::OnUpdatePopulationGraph)
            .On(ID_GRAPH_BIRTHS_DEATHS, &GraphControl::OnGraphBirthsDeaths)
            .On(ID_GRAPH_SAVE_CSV, &GraphControl::OnGraphSaveCsv)
            .On(ID_GRAPH_SAVE_PNG, &GraphControl::OnGraphSavePng);
    return map.Dispatch(*this, msg);
}

void GraphControl::ApplySettings() {
    if (GraphSetting("Shown", 0) != 0 && !m_bGraphShown) OnPopulationGraph();
}

void GraphControl::OnPopulationGraph() {
    CFrameWnd* frame = MainWindow();
    if (frame == nullptr) return;
    m_bGraphShown = !m_bGraphShown;
    SetGraphSetting("Shown", m_bGraphShown ? 1 : 0);
    if (!m_bGraphShown) {
        Platform().Frames().HideGraphPanel(*frame);
        return;
    }
    GraphPanelRequest request;
    request.title = "Population Graph";
    request.floating = GraphSetting("Floating", 0) != 0;
    request.menu = {MenuItem{ID_GRAPH_BIRTHS_DEATHS, "Births and Deaths", {}, false},
                    MenuItem{0, std::string(), {}, true},
                    MenuItem{ID_GRAPH_SAVE_CSV, "Save as CSV...", {}, false},
                    MenuItem{ID_GRAPH_SAVE_PNG, "Save as PNG...", {}, false}};
    request.placed = [](bool floating) { SetGraphSetting("Floating", floating ? 1 : 0); };
    request.closed = [this] {
        m_bGraphShown = false;
        SetGraphSetting("Shown", 0);
    };
    Platform().Frames().ShowGraphPanel(*frame, request);
    Update(true);
}

void GraphControl::OnUpdatePopulationGraph(CCmdUI* pCmdUI) {
    pCmdUI->Enable(Document() != nullptr);
    pCmdUI->SetCheck(m_bGraphShown ? 1 : 0);
}

void GraphControl::OnGraphBirthsDeaths() {
    SetGraphSetting("Births and Deaths", GraphSetting("Births and Deaths", 0) != 0 ? 0 : 1);
    Update(true);
}

GraphPicture GraphControl::MakeGraphPicture(int columns) const {
    GraphPicture picture;
    CLifeDoc* doc = Document();
    if (doc == nullptr || doc->Counts().Empty() || columns <= 0) return picture;
    const PopulationHistory& history = doc->Counts();
    picture.firstX = history.FirstGeneration();
    picture.lastX = history.LastGeneration();
    auto add = [&](const char* name, uint32_t rgb, int32_t GenerationCounts::*field) {
        GraphSeries series;
        series.name = name;
        series.rgb = rgb;
        for (const ColumnSpan& span : history.Columns(columns, field)) {
            series.columns.emplace_back(span.low, span.high);
            picture.maxY = std::max(picture.maxY, span.high);
        }
        picture.series.push_back(std::move(series));
    };
    add("Live", kLiveColour, &GenerationCounts::live);
    const bool flows = GraphSetting("Births and Deaths", 0) != 0;
    if (flows) {
        add("Births", kBirthColour, &GenerationCounts::births);
        add("Deaths", kDeathColour, &GenerationCounts::deaths);
    }
    const GenerationCounts& last = history.Last();
    char text[160];
    if (flows)
        std::snprintf(text, sizeof text, "Generation %" PRId64 ": live %d, births %d, deaths %d",
                      history.LastGeneration(), int(last.live), int(last.births), int(last.deaths));
    else
        std::snprintf(text, sizeof text, "Generation %" PRId64 ": live %d",
                      history.LastGeneration(), int(last.live));
    picture.caption = text;
    return picture;
}

void GraphControl::Update(bool now) {
    CFrameWnd* frame = MainWindow();
    if (!m_bGraphShown || frame == nullptr) return;
    const auto t = Platform().Clock().Now();
    if (!now && t - m_graphShownAt < kGraphInterval) return;
    m_graphShownAt = t;
    FrameServices& frames = Platform().Frames();
    frames.SetGraphPicture(*frame, MakeGraphPicture(frames.GraphColumns(*frame)));
}

void GraphControl::OnGraphSaveCsv() {
    CLifeDoc* doc = Document();
    if (doc == nullptr) return;
    CFileDialog dlg(false, "csv", doc->ProposedExportName(".csv"),
                    OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kCsvFilter);
    if (dlg.DoModal() != IDOK) return;
    CWaitCursor wait;
    const PopulationHistory& history = doc->Counts();
    if (!SaveCounts(view_, dlg.GetPathName(), history, view_.Statistics().RecordedColumns()))
        return;
    if (history.Thinned())
        view_.MessageBox(ThinnedCountsMessage(history.FirstGeneration(), history.ExactFrom()),
                         std::string(), MB_OK);
}

void GraphControl::OnGraphSavePng() {
    CLifeDoc* doc = Document();
    CFrameWnd* frame = MainWindow();
    if (doc == nullptr || frame == nullptr || !m_bGraphShown) return;
    CFileDialog dlg(false, "png", doc->ProposedExportName(".png"),
                    OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kPngFilter);
    if (dlg.DoModal() != IDOK) return;
    Update(true);
    const std::string png = Platform().Frames().GraphImagePng(*frame);
    if (png.empty()) {
        view_.MessageBox("Unable to save " + dlg.GetPathName() + ".", std::string(),
                         MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    ReplaceWith(view_, dlg.GetPathName(), png);
}

}  // namespace cellarium

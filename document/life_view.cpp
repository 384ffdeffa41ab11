#include "document/life_view.h"

#include <algorithm>
#include <initializer_list>

#include "document/file_info_dlg.h"
#include "document/help_page.h"
#include "document/life_app_base.h"
#include "document/life_doc.h"
#include "document/rules_dlg.h"
#include "formats/rule_notation.h"
#include "framework/document.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kExitQuestion = "Are you sure you want to quit completely?";

CLifeDoc* ViewControl::Document() const {
    return view_.GetDocument();
}

CLifeDoc* ViewControl::DocumentWithBoards() const {
    CLifeDoc* doc = view_.GetDocument();
    return doc != nullptr && doc->HasBoards() ? doc : nullptr;
}

namespace {

// Commands that would change the board, its rule or its generation, and
// those that start an analysis: disabled while an analysis runs, which
// describes the board as it was when it started.
constexpr unsigned kHeldWhileAnalysing[] = {
    ID_TOOLS_RUN,
    ID_TOOLS_STEP,
    ID_GO_TO_GENERATION,
    ID_CELLS_CENTER,
    ID_CELLS_ROTATE_LEFT,
    ID_EDIT_UNDO,
    ID_EDIT_REDO,
    ID_EDIT_CUT,
    ID_EDIT_PASTE,
    ID_EDIT_CLEAR,
    ID_EDIT_CLEAR_OUTSIDE,
    ID_EDIT_FILL_RANDOM,
    ID_EDIT_FLIP_HORIZONTAL,
    ID_EDIT_FLIP_VERTICAL,
    ID_EDIT_ROTATE_CLOCKWISE,
    ID_EDIT_ROTATE_ANTICLOCKWISE,
    ID_FILE_EDIT_RULES,
    ID_IDENTIFY,
    ID_CENSUS,
};

// Commands that take the pattern away or end the program: they stop an
// analysis first, then go on as ever.
bool LeavesPattern(unsigned id) {
    return id == ID_FILE_NEW || id == ID_FILE_OPEN || id == ID_FILE_CLOSE || id == ID_FILE_RELOAD ||
           id == ID_PASTE_NEW || id == ID_APP_EXIT || id == ID_EXIT_COMPLETELY ||
           (id >= ID_FILE_RECENT_FIRST && id <= ID_FILE_RECENT_LAST);
}

}  // namespace

CLifeView::CLifeView() = default;
CLifeView::~CLifeView() = default;

CLifeDoc* CLifeView::GetDocument() const {
    return dynamic_cast<CLifeDoc*>(m_pDocument);
}

bool CLifeView::OnCmdMsg(const CmdMsg& msg) {
    if (m_analysis.Busy()) {
        if (std::find(std::begin(kHeldWhileAnalysing), std::end(kHeldWhileAnalysing), msg.id) !=
            std::end(kHeldWhileAnalysing)) {
            if (msg.code == CN_UPDATE_COMMAND_UI && msg.ui != nullptr && !msg.probe)
                msg.ui->Enable(false);
            return msg.code == CN_UPDATE_COMMAND_UI || msg.code == CN_COMMAND;
        }
        if (msg.code == CN_COMMAND && !msg.probe && LeavesPattern(msg.id))
            m_analysis.CancelAnalysis();
    }
    static const CommandMap<CLifeView> map =
        CommandMap<CLifeView>()
            .On(ID_FILE_EDIT_DESCRIPTION, &CLifeView::OnEditDescription)
            .On(ID_FILE_EDIT_RULES, &CLifeView::OnEditRules)
            .On(ID_HELP, &CLifeView::OnHelpContents)
            .On(ID_EXIT_COMPLETELY, &CLifeView::OnExitCompletely);
    if (map.Dispatch(*this, msg)) return true;
    for (ViewControl* control :
         std::initializer_list<ViewControl*>{&m_viewport, &m_editing, &m_simulation, &m_statistics,
                                             &m_graph, &m_analysis, &m_colours, &m_export})
        if (control->OnCmdMsg(msg)) return true;
    return CScrollView::OnCmdMsg(msg);
}

// --- The window's messages ----------------------------------------------------------

void CLifeView::OnInitialUpdate() {
    // A new pattern: an analysis of the last one has nothing left to say.
    m_analysis.CancelAnalysis();
    CScrollView::OnInitialUpdate();
    m_viewport.InitialUpdate();
    if (CLifeAppBase* app = LifeApp(); app != nullptr && app->m_bFitOnOpen)
        m_viewport.FitPattern(1);
    m_analysis.ApplySettings();
    m_graph.ApplySettings();
    m_simulation.StartCountingAfresh();
    UpdateStatusLine();
    if (CFrameWnd* frame = MainWindow()) Platform().Processes().ShellFullScreen(*frame, 8);
}

void CLifeView::OnDraw(CDC* pDC) {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr || !doc->HasBoards()) return;
    m_viewport.DrawBoard(*pDC);
    m_viewport.PaintMargin(*pDC);
    m_editing.DrawSelection(*pDC);
}

bool CLifeView::OnScrollBy(CSize sizeScroll, bool doScroll) {
    const bool scrolled = CScrollView::OnScrollBy(sizeScroll, doScroll);
    // The strips the scroll exposed are drawn before further input.
    if (scrolled && doScroll) UpdateWindow();
    return scrolled;
}

bool CLifeView::OnEraseBkgnd(CDC& dc) {
    CLifeDoc* doc = GetDocument();
    if (CurrentPalette() == nullptr || doc == nullptr || !doc->HasBoards())
        return CScrollView::OnEraseBkgnd(dc);
    m_viewport.PaintMargin(dc);
    return true;
}

void CLifeView::OnTimer(unsigned id) {
    CScrollView::OnTimer(id);
    if (id == EditingControl::AUTOSCROLL_TIMER_ID)
        m_editing.AutoScroll();
    else if (id == AnalysisControl::ANALYSIS_TIMER_ID)
        m_analysis.Poll();
    else
        m_simulation.OnTimer();
}

// While an analysis runs the stylus leaves the board alone: it neither
// draws nor drops a paste (a selection may still be made with the right
// button).
void CLifeView::OnLButtonDown(unsigned flags, CPoint point) {
    CScrollView::OnLButtonDown(flags, point);
    if (!m_analysis.Busy()) m_editing.LButtonDown(flags, point);
}

void CLifeView::OnMouseMove(unsigned flags, CPoint point) {
    CScrollView::OnMouseMove(flags, point);
    if (!m_analysis.Busy() || (flags & MK_LBUTTON) == 0) m_editing.MouseMove(flags, point);
}

void CLifeView::OnLButtonUp(unsigned flags, CPoint point) {
    CScrollView::OnLButtonUp(flags, point);
    m_editing.LButtonUp();
}

void CLifeView::OnRButtonDown(unsigned flags, CPoint point) {
    CScrollView::OnRButtonDown(flags, point);
    m_editing.RButtonDown(flags, point);
}

void CLifeView::OnRButtonUp(unsigned flags, CPoint point) {
    CScrollView::OnRButtonUp(flags, point);
    m_editing.RButtonUp();
}

void CLifeView::OnKeyDown(unsigned key, unsigned repeat, unsigned flags) {
    if (m_analysis.Busy()) {
        // Esc stops the analysis; the keys that edit wait until it is over.
        if (key == VK_ESCAPE) {
            m_analysis.CancelAnalysis();
            return;
        }
    } else if (m_editing.KeyDown(key)) {
        return;
    }
    m_viewport.KeyDown(key);
    CScrollView::OnKeyDown(key, repeat, flags);
}

// --- Commands of the view itself ----------------------------------------------------

void CLifeView::OnEditDescription() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr) return;
    CFileInfoDlg dlg(true);
    dlg.m_strDescription = doc->GetDescription();
    dlg.m_strFileName = doc->GetPathName();
    dlg.m_strRules = FormatRulesLine(doc->GetRule());
    if (dlg.m_strFileName.empty()) dlg.m_strFileName = kNewFileName;
    if (dlg.DoModal() == IDOK) doc->SetDescription(dlg.m_strDescription);
}

void CLifeView::OnEditRules() {
    CLifeDoc* doc = GetDocument();
    if (doc == nullptr) return;
    CRulesDlg dlg(this);
    dlg.SetRule(doc->GetRule());
    if (dlg.DoModal() != IDOK) return;
    doc->SetRule(dlg.m_rule);
    UpdateStatusLine();
}

void CLifeView::OnHelpContents() {
    if (CLifeAppBase* app = LifeApp()) app->ShowHelp(kHelpContentsAnchor);
}

void CLifeView::OnExitCompletely() {
    // Unsaved changes first: Cancel, or a save that failed, keeps running.
    if (CLifeDoc* doc = GetDocument(); doc != nullptr && !doc->SaveModified()) return;
    if (MessageBox(kExitQuestion, std::string(), MB_OKCANCEL) != IDOK) return;
    if (CLifeAppBase* app = LifeApp()) app->EndProgramAtOnce();
}

}  // namespace cellarium

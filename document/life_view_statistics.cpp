// Statistics recording (life_view_statistics.h).
#include "document/life_view_statistics.h"

#include "document/life_doc.h"
#include "document/life_view.h"
#include "document/save_stats_dlg.h"
#include "framework/win_app.h"
#include "ids/command_ids.h"

namespace cellarium {

const char* const kStatsOpenFailedMessage = "Unable to open file for writing";
const char* const kRecordingMarker = "REC";

std::string StatsWriteFailedMessage(const std::string& path, FileError cause) {
    std::string text = "Unable to write statistics to " + path;
    if (cause == FileError::DiskFull) text += ": the disk is full";
    return text + ". Recording has stopped.";
}

bool StatisticsControl::OnCmdMsg(const CmdMsg& msg) {
    static const CommandMap<StatisticsControl> map =
        CommandMap<StatisticsControl>()
            .On(ID_STATS_START, &StatisticsControl::OnStatsStart)
            .On(ID_STATS_STOP, &StatisticsControl::OnStatsStop)
            .OnUpdate(ID_STATS_START, &StatisticsControl::OnUpdateStatsStart)
            .OnUpdate(ID_STATS_STOP, &StatisticsControl::OnUpdateStatsStop);
    return map.Dispatch(*this, msg);
}

void StatisticsControl::GenerationDone(const GenerationRecord& record) {
    if (m_bRecording) WriteStatsLine(record);
}

void StatisticsControl::OnStatsStart() {
    CSaveStatsDlg dlg;
    dlg.m_bGeneration = m_bRecGeneration;
    dlg.m_bTotal = m_bRecTotal;
    dlg.m_bBirths = m_bRecBirths;
    dlg.m_bDeaths = m_bRecDeaths;
    CLifeDoc* doc = Document();
    dlg.m_strFileName = (doc ? doc->GetPathName() : std::string()) + ".csv.txt";

    // Shown again, with the user's last entries, until a file opens or the
    // user cancels.
    while (dlg.DoModal() == IDOK) {
        m_bRecGeneration = dlg.m_bGeneration;
        m_bRecTotal = dlg.m_bTotal;
        m_bRecBirths = dlg.m_bBirths;
        m_bRecDeaths = dlg.m_bDeaths;
        // A recording already running ends before the next one begins.
        OnStatsStop();
        if (m_fileStats.Open(dlg.m_strFileName, kModeCreate | kModeWrite | kShareExclusive)) {
            m_bRecording = true;
            const std::string header = StatsHeader(RecordedColumns());
            if (!m_fileStats.Write(header.data(), header.size())) {
                StatsWriteFailed(0);
                ReportWriteFailure();
            }
            view_.UpdateStatusLine();
            view_.KickIdle();
            return;
        }
        // A link refused names the file and says why, where otherwise the
        // name alone is shown.
        const FileError cause = m_fileStats.LastError();
        const bool link = cause == FileError::ForeignLink || cause == FileError::BrokenLink;
        view_.MessageBox(
            link ? SaveLoadFailureText(dlg.m_strFileName, cause, true, 0) : dlg.m_strFileName,
            std::string(), MB_OK);
        view_.MessageBox(kStatsOpenFailedMessage, std::string(), MB_OK);
    }
}

void StatisticsControl::OnStatsStop() {
    if (!m_bRecording) return;
    m_bRecording = false;
    m_fileStats.Close();
    view_.UpdateStatusLine();
    view_.KickIdle();
}

void StatisticsControl::OnUpdateStatsStart(CCmdUI* pCmdUI) {
    pCmdUI->Enable(!m_bRecording);
}

void StatisticsControl::OnUpdateStatsStop(CCmdUI* pCmdUI) {
    pCmdUI->Enable(m_bRecording);
}

void StatisticsControl::WriteStatsLine(const GenerationRecord& record) {
    char line[kStatsLineBuffer];
    const std::size_t n = FormatStatsLine(line, RecordedColumns(), record.generation, record.live,
                                          record.births, record.deaths);
    const uint64_t whole = m_fileStats.BytesWritten();
    if (!m_fileStats.Write(line, n)) StatsWriteFailed(whole);
}

void StatisticsControl::StatsWriteFailed(uint64_t whole) {
    m_strStatsFailure = StatsWriteFailedMessage(m_fileStats.GetFilePath(), m_fileStats.LastError());
    // Part of the line may have gone in: the file ends with the last whole
    // line instead (a pipe or device keeps what it took).
    if (PlatformFile* file = m_fileStats.Handle()) {
        FileError ignored = FileError::None;
        file->CutBackTo(whole, ignored);
    }
    m_bRecording = false;
    m_fileStats.Abort();
    view_.UpdateStatusLine();
}

void StatisticsControl::ReportWriteFailure() {
    if (m_strStatsFailure.empty()) return;
    const std::string text = std::move(m_strStatsFailure);
    m_strStatsFailure.clear();
    view_.MessageBox(text, std::string(), MB_OK);
}

}  // namespace cellarium

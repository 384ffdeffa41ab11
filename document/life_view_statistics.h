// Statistics recording: the Save Statistics dialog starts a recording, each
// generation appends one line, Stop closes the file.
#pragma once

#include <cstdint>
#include <string>

#include "document/run_loop.h"
#include "document/stats_format.h"
#include "document/view_control.h"
#include "framework/file.h"

namespace cellarium {

class CCmdUI;

class StatisticsControl final : public ViewControl {
public:
    using ViewControl::ViewControl;
    bool OnCmdMsg(const CmdMsg& msg) override;

    bool Recording() const { return m_bRecording; }
    // The columns the last Save Statistics dialog chose (also those the
    // graph's CSV export writes).
    StatsColumns RecordedColumns() const {
        return StatsColumns{m_bRecGeneration, m_bRecTotal, m_bRecBirths, m_bRecDeaths};
    }
    // The run loop's report of a generation: its line, while recording.
    void GenerationDone(const GenerationRecord& record);
    // Tells the user once, when a write failed since the last call.
    void ReportWriteFailure();

    void OnStatsStart();
    void OnStatsStop();
    // Start is enabled while not recording, Stop while recording.
    void OnUpdateStatsStart(CCmdUI* pCmdUI);
    void OnUpdateStatsStop(CCmdUI* pCmdUI);

private:
    // Appends the data line of a generation.
    void WriteStatsLine(const GenerationRecord& record);
    // A write to the statistics file failed: recording stops, and the user
    // is told once (ReportWriteFailure) when the generations in hand are done.
    // A line could not be written whole: the file is cut back to the whole
    // bytes before it.
    void StatsWriteFailed(uint64_t whole);

    bool m_bRecording = false;
    bool m_bRecGeneration = true;
    bool m_bRecTotal = true;
    bool m_bRecBirths = false;
    bool m_bRecDeaths = false;
    CFile m_fileStats;
    std::string m_strStatsFailure;
};

}  // namespace cellarium

// The document's run loop: every generation the program makes, at any speed,
// from the view's timer, Step, Go to Generation and the runner, comes from
// here, so they all count, check and record a generation the same way.
#include "document/life_doc.h"

namespace cellarium {

RunStop CLifeDoc::Advance(int64_t& generation, int32_t& births, int32_t& deaths,
                          const RunLimits& limits, GenerationObserver* observer) {
    if (!HasBoards()) return RunStop::NoBoards;
    for (int64_t made = 1;; ++made) {
        // Newborn cells carry the low byte of the generation counter plus one.
        NextGeneration(int(uint64_t(generation) & 0xFFu) + 1, births, deaths, generation);
        ++generation;
        const GenerationRecord record{generation, current_->liveCount, births, deaths};
        if (keepCounts_) counts_.Add(generation, record.live, births, deaths);
        // Everything that keeps or checks each generation goes here, in
        // generation order: the statistics line, a history of the counts,
        // a cycle check (which, like stagnation, would end the run below).
        if (observer != nullptr) observer->GenerationDone(record);

        if (births == 0 && deaths == 0) return RunStop::Stagnation;
        // Period 1 is stagnation, caught above.
        if (int64_t period = 0, start = 0; LastRepeat(period, start)) return RunStop::Repeat;
        if (limits.target != 0 && generation == limits.target) return RunStop::Target;
        if (made >= limits.generations) return RunStop::Count;
        if (limits.deadline && RunClock::now() >= *limits.deadline) return RunStop::Deadline;
    }
}

}  // namespace cellarium

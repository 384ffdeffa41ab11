// The document's run loop: every generation the program makes, at any speed,
// from the view's timer, Step, Go to Generation and the runner, comes from
// the run session here, so they all count, check and record a generation the
// same way.
#include <functional>
#include <utility>

#include "document/life_doc.h"

namespace cellarium {
namespace {

// Keeps each generation's counts in the document's history before the
// caller's observer hears of it; after the first, the run's undo step takes
// the board the run began from.
class CountsKeeper final : public GenerationObserver {
public:
    CountsKeeper(PopulationHistory* counts, GenerationObserver* next, std::function<void()> first)
        : counts_(counts), next_(next), first_(std::move(first)) {}
    void GenerationDone(const GenerationRecord& record) override {
        if (first_) {
            first_();
            first_ = nullptr;
        }
        if (counts_ != nullptr)
            counts_->Add(record.generation, record.live, record.births, record.deaths);
        if (next_ != nullptr) next_->GenerationDone(record);
    }
    void GenerationsRepeated(const std::vector<GenerationRecord>& byPhase, int64_t first,
                             int64_t count) override {
        if (counts_ != nullptr) {
            // At once, however many periods.
            phases_.resize(byPhase.size());
            for (std::size_t i = 0; i < byPhase.size(); ++i)
                phases_[i] =
                    GenerationCounts{byPhase[i].live, byPhase[i].births, byPhase[i].deaths};
            counts_->AddRepeated(first, phases_, count);
        }
        if (next_ != nullptr) next_->GenerationsRepeated(byPhase, first, count);
    }
    bool RepeatsInBulk() const override { return next_ == nullptr || next_->RepeatsInBulk(); }

private:
    PopulationHistory* counts_;
    GenerationObserver* next_;
    std::function<void()> first_;
    std::vector<GenerationCounts> phases_;
};

}  // namespace

RunStop CLifeDoc::Advance(int64_t& generation, int32_t& births, int32_t& deaths,
                          const RunLimits& limits, GenerationObserver* observer) {
    if (!HasBoards()) return RunStop::NoBoards;
    // The session follows the document's rule and the caller's counters; a
    // counter that does not follow on from the last run starts its watch again.
    session_.SetRule(rule_);
    session_.SetGeneration(generation);
    session_.SetLastCounts(births, deaths);
    std::function<void()> first;
    if (history_.AwaitingRunStart()) first = [this] { history_.KeepRunStart(scratch_, *current_); };
    CountsKeeper keeper(keepCounts_ ? &counts_ : nullptr, observer, std::move(first));
    const RunStop stop = session_.Run(limits, &keeper);
    generation = session_.Generation();
    births = session_.Births();
    deaths = session_.Deaths();
    return stop;
}

}  // namespace cellarium

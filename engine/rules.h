// The program-wide rule tables: survive[n] set means a live cell with n live
// neighbours stays alive, born[n] set means a dead cell with n live
// neighbours comes alive. The writers store 0 and 1.
#pragma once

#include <cstdint>

namespace cellarium {

inline constexpr int kRuleEntries = 9;

extern uint8_t g_survive[kRuleEntries];
extern uint8_t g_born[kRuleEntries];

// Conway's rule: survive 2, 3; born 3. All 18 entries are written.
void ResetRules();

// Clears all 18 entries.
void ClearRules();

}  // namespace cellarium

#include "engine/rules.h"

namespace cellarium {

uint8_t g_survive[kRuleEntries] = {0, 0, 1, 1, 0, 0, 0, 0, 0};
uint8_t g_born[kRuleEntries] = {0, 0, 0, 1, 0, 0, 0, 0, 0};

void ResetRules() {
    for (int n = 0; n < kRuleEntries; ++n) {
        g_survive[n] = (n == 2 || n == 3) ? 1 : 0;
        g_born[n] = (n == 3) ? 1 : 0;
    }
}

void ClearRules() {
    for (int n = 0; n < kRuleEntries; ++n) g_survive[n] = g_born[n] = 0;
}

}  // namespace cellarium

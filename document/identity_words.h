// Identify's findings in words for a message box.
#pragma once

#include <string>

#include "engine/identify.h"

namespace cellarium {

// "Still life, population 4, 2 x 2 cells.",
// "Oscillator, period 2, population 3, 3 x 3 cells.",
// "Spaceship, period 4, moving 1 cell diagonally every 4 generations (c/4),
// population 5, 3 x 3 cells.", "The board is empty.", "No repeat within
// 10000 generations."
std::string IdentityWords(const Identity& identity);

}  // namespace cellarium

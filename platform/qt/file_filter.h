// The framework's file filters ("Life Files|*.lif|XLife Files|*.l||": pairs
// of a name and its patterns, the patterns separated by ';') as the name
// filters of a Qt file dialog ("Life Files (*.lif)").
#pragma once

#include <QStringList>
#include <string>

namespace cellarium {

// One name filter per pair, in order. A pair with no pattern is left out; an
// empty filter gives no name filters (every file is shown).
QStringList NameFiltersFromFilter(const std::string& filter);

}  // namespace cellarium

// The description as the comment lines of a pattern file ("#D", "#C", "!"),
// laid out so that the pattern reader gives back the same text: lines within
// a width that other programs read whole, and line breaks kept.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace cellarium {

// The lines to write, each at most width characters, for the reader to join
// again: consecutive lines are joined with one space, and an empty line
// stands for a line break of the description. So each line of the
// description (CR LF, LF or a lone CR ends one) is wrapped at a space that
// is followed by a non-space, that space left out; a word longer than width
// is split (and reads back with a space where it was split); an empty line
// goes between two lines of the description. Trailing empty lines are left
// out, and spaces at the start of a line do not come back.
std::vector<std::string> CommentLines(const std::string& description, std::size_t width);

// The name without control characters, fit for a "#N" or "!Name:" line.
std::string PrintableName(const std::string& name);

}  // namespace cellarium

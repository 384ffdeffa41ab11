// Where the help page is: the program's own copy of help/life.htm, looked for
// beside the program in the install layout first, then in the source tree
// the program was built from.
#pragma once

#include <string>
#include <vector>

namespace cellarium {

// The page's file name and the anchor of its table of contents.
extern const char* const kHelpPageName;
extern const char* const kHelpContentsAnchor;

// The places looked at, in order, as absolute paths: for a program in
// PREFIX/bin, PREFIX/share/cellarium/help/life.htm; then help/life.htm beside
// the program; then the source tree's help/life.htm. programFolder may be
// empty (unknown), which leaves only the source tree.
std::vector<std::string> HelpPageCandidates(const std::string& programFolder);

// The first candidate that can be opened for reading (through the platform's
// files), or the bare page name when none can.
std::string FindHelpPage(const std::string& programFolder);

// The folder of a program path as given on a command line ("" when it names
// no folder).
std::string ProgramFolderOf(const std::string& programPath);

}  // namespace cellarium

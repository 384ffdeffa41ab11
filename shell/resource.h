// The shell's resource identifiers: menus, toolbar, strings and the document
// template; the command, dialog and control ids come from ids/command_ids.h.
#pragma once

#include "ids/command_ids.h"

namespace cellarium {

// Menus, toolbar, document template.
inline constexpr unsigned IDR_MAINFRAME = 128;  // menu 128, toolbar 128, document template
inline constexpr unsigned IDR_FILELIST_MENU = 108;
// The menu bar a desktop shows: the same commands as menu 128 and more, in
// File, Edit, View, Run, Tools and Help.
inline constexpr unsigned IDR_DESKTOP_MENU = 129;

// Strings.
inline constexpr unsigned IDS_TOOLS = 103;
inline constexpr unsigned IDS_PASTE = 32814;
inline constexpr unsigned IDS_TIP_STEP = 65007;
inline constexpr unsigned IDS_TIP_RUN = 65008;
inline constexpr unsigned IDS_TIP_PAUSE = 65009;
inline constexpr unsigned IDS_TIP_ZOOM_IN = 65010;
inline constexpr unsigned IDS_TIP_ZOOM_OUT = 65011;
inline constexpr unsigned IDS_TIP_ROTATE = 65012;
inline constexpr unsigned IDS_TIP_EDIT = 65013;
inline constexpr unsigned IDS_TIP_FIT = 65014;

// The document template's string.
inline constexpr const char* kLifeDocString =
    "Life\n\nLife\nLife files (*.lif)\n.lif\nLife.Document\nLife Document";
inline constexpr const char* kLifeFileListFilter = "Life Files|*.lif|XLife Files|*.l||";
inline constexpr const char* kLifeFileListFolder = "All Folders";
inline constexpr const char* kCompanyKey = "Local AppWizard-Generated Applications";

}  // namespace cellarium

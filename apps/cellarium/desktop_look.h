// What the desktop adds to the program's commands: toolbar glyphs, keyboard
// shortcuts and the commands the mouse wheel sends with Ctrl.
#pragma once

#include "platform/qt/qt_windows.h"

namespace cellarium {

CommandLook DesktopCommandLook();

}  // namespace cellarium

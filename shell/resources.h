// The program's resources as data: dialog templates, menus, the toolbar,
// accelerators and strings.
#pragma once

#include "framework/resources.h"

namespace cellarium {

const ResourceTable& LifeResources();

}  // namespace cellarium

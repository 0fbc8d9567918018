// The user-interface services of the running program: real Qt message boxes and file dialogs,
// parented to the active window. The seam itself lives with the platform, so that the layers
// below the window can be handed it without knowing about widgets.
#pragma once

#include "platform/user_interface.h"

namespace calvento {

UiServices& QtUiServices();

}  // namespace calvento

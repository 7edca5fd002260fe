// The message loop's side of the window layer: the system's messages as the
// input events the seam's message filter names. Win32Ui's loop and timers
// (declared in win32_ui.h) are implemented in message_loop.cpp beside it.
#pragma once

#include <windows.h>

#include "platform/os.h"

namespace ssi::win32 {

// The named input event a window message carries (InputEvent::Other for
// every message the filter has no name for).
InputEvent inputEventOf(UINT message);

}  // namespace ssi::win32

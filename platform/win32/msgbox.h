// The installer's message boxes: one modal dialog of our own for all three
// kinds, because the system's MessageBox cannot show a lone Abort button.
// It looks like a standard box to a UI driver: class "#32770", the text in a
// Static of id 65535, the icon in a Static of id 20, buttons with the standard
// ids (IDABORT, IDOK, IDCANCEL, IDYES, IDNO).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/os.h"

namespace ssi::win32 {

// Titles and captions come from system.loadString (the program's string
// table), falling back to the built-in texts when the program has no table.
// Closing the box gives the cancel-like answer: Abort for the Abort box, Ok
// for the single OK box, No or Cancel otherwise. The box's modal loop passes
// every message it takes through `discard` first (when set), as its input
// event: true drops it.
BoxAnswer showMessageBox(System& system, HWND owner, BoxKind kind, BoxButtons buttons,
                         const std::string& text, const std::function<bool(InputEvent event)>& discard);

}  // namespace ssi::win32

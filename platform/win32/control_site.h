// The container side of an embedded ActiveX control: one site object per
// control, made of one small class per OLE interface the control asks its
// container for (IOleClientSite; IOleInPlaceSite with IOleWindow;
// IOleInPlaceFrame with IOleInPlaceUIWindow), all sharing the site's one
// reference count. No ATL.
//
// The control lives in a panel window of ours at a place fixed when it is
// created: the site answers that rectangle whenever the control asks, and
// does not follow later size changes of the panel.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/os.h"

namespace ssi::win32 {

// Creates an object of class `id` from its registered in-process server,
// gives it a fresh state (IPersistStreamInit::InitNew) and the site, and
// activates it in place inside `host` at `place` (client coordinates of the
// host). On failure nothing of the control is left.
[[nodiscard]] Result createHostedControl(HWND host, const CLSID& id, const RECT& place,
                                         std::unique_ptr<HostedControl>& out);

}  // namespace ssi::win32

#pragma once

#include <QString>

namespace karvel {

// The name under which desktops know the program: its desktop entry's, its
// icon's and its AppStream component's.
QString appId();

// Tells the windowing system who the program is, before the first window
// opens: the desktop entry its windows belong to (on Wayland the app id, by
// which the compositor finds the program's name and icon), and the icon of
// every window.
void setDesktopIdentity();

// Whether the program may place its own top-level windows. A Wayland client
// may not: the compositor places them.
bool canPlaceWindows();

} // namespace karvel

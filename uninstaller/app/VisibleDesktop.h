#pragma once
// Whether anybody can see this program's windows: a deployment tool or a
// scheduled task may start it in a window station no one looks at (a
// service's, session 0), where a dialog waits for ever.

// False only when the process's window station says it is not visible;
// when that can't be read the window is shown as before.
bool DesktopIsVisible();

#pragma once
// The module whose resources (templates, strings, icons) the dialogs read:
// always the library's own. Hosts run dialogs on more than one UI thread at
// once, so there is no current module to switch on entry and put back.

#include <windows.h>

HINSTANCE ResourceModule();

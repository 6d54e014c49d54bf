#include "ResourceModule.h"

// The linker's symbol for the start of this image, which is its module handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE ResourceModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

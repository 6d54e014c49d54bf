#pragma once
// The lead-byte test of the system's ANSI code page, for the pure text code.

#include <windows.h>

#include "Text.h"

inline bool AnsiLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

// Every comparison of names and items must know the code page's double-byte
// characters; called once when the program starts.
inline void UseAnsiCodePage() { text::SetLeadBytes(AnsiLeadByte); }

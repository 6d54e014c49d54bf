#pragma once
// The lead-byte test of the system's ANSI code page, for the pure text code.

#include <windows.h>

inline bool AnsiLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

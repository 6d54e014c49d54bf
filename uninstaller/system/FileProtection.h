#pragma once
// Whether Windows protects a file of its own, which no uninstaller may
// delete.

#include "../common/PlatformKind.h"

// True when Windows File Protection guards `path`, and when that can't be
// asked: a file of doubtful standing stays.
bool IsProtectedByWindows(const char* path);
// The same on the given Windows: one older than 2000 and Me protects nothing.
bool IsProtectedByWindows(const PlatformKind& platform, const char* path);

// Replaces the question for tests: Wine protects no file at all. nullptr
// puts the platform's answer back.
using ProtectionTest = bool (*)(const char* path);
void SetProtectionTest(ProtectionTest test);

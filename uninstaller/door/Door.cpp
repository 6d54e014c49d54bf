#include "Door.h"

bool Door::Gone(const char*, const char*) const { return false; }

bool Door::KeyGone(const char*) const { return false; }

bool Door::DriverGone(const char*, const char*) const { return false; }

bool Door::MovedOff(const char*, const char*) const { return false; }

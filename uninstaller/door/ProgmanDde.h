#pragma once
// The shell's Program Manager, reached by its DDE execute interface: the
// door's own way to take program groups and their items away.

#include <functional>

// Sends one execute command to Program Manager; true when it was carried out.
bool ProgmanExecute(const char* command);

// Whether Program Manager's DDE server answers a conversation at all.
bool ProgmanAnswers();

// The same through the sender a test has set, if any.
bool SendToProgman(const char* command);

// How commands are sent: ProgmanExecute unless a test sets another, to see
// the command texts Program Manager under Wine would carry out or refuse
// without a trace. An empty function restores ProgmanExecute.
using ProgmanSender = std::function<bool(const char* command)>;
void SetProgmanSender(ProgmanSender sender);

// Tests only: whether Program Manager answers, instead of asking it (Wine's
// shell always does). An empty function asks it again.
void SetProgmanPresence(std::function<bool()> answers);

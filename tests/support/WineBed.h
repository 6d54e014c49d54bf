#pragma once
// Helpers for tests that run in the Wine test bed (tools/wine-bed.sh): the
// deliverables are on drive P:, the tests and the test proxy on drive T:.

#include <windows.h>

#include <string>

namespace bed {

// Full path of a deliverable, such as "P:\prnuninst.exe".
std::string Deliverable(const char* fileName);

// Directory of the running test program, with its trailing backslash.
std::string TestDirectory();

// The text as the system's ANSI code page (932 in the bed) holds it.
std::string Ansi(const char* utf8);

// Dispatches the thread's pending messages for about `milliseconds`.
void Pump(DWORD milliseconds);

// Waits, pumping messages, until `done` holds or `milliseconds` pass.
template <typename Predicate>
bool WaitFor(Predicate done, DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        Pump(20);
    }
    return true;
}

// A started program: its process handle, closed on destruction; the process
// is ended (by its handle) when it is still running then.
class Process {
public:
    explicit Process(const std::string& commandLine);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return process_ != nullptr; }
    // The full exit code, or -1 when it did not end in time.
    long Wait(DWORD milliseconds);
    // Ends it at once, as a power cut would, by its own handle.
    void Kill();

private:
    HANDLE process_ = nullptr;
};

// The current state of a service (SERVICE_RUNNING, ...); 0 when it can't
// be asked, as for a service that isn't there.
DWORD ServiceState(const char* name);

// A key of HKEY_LOCAL_MACHINE can be opened for reading.
bool MachineKeyExists(const std::string& path);

// The text of one cell of a list view (at most 259 characters).
std::string ListItemText(HWND list, int row, int column);

// Writes `content` to a file, replacing it.
bool WriteFile(const std::string& path, const std::string& content);

// Removes the folder with everything in it (with or without a trailing
// backslash).
void RemoveTree(std::string folder);

} // namespace bed

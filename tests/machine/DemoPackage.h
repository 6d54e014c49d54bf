#pragma once
// What the maker's driver packages left on the demo machine besides their
// printers and drivers: one list that demo_machine both installs and
// reports on, so that the state it prints names exactly what the uninstall
// script names.

#include "Machine.h"

namespace demo {

// Prepares the machine as an office PC with the maker's printers looks; the
// printers, drivers and script go with `machine`, the rest with Remove.
bool Prepare(machine::Machine& machine);
// Takes away what Prepare put on the machine besides printers, drivers and
// the script.
void Remove();

// Driver names; the printer of another maker uses the last one.
inline constexpr char kLumenta2400[] = "QUORVEL Lumenta 2400";
inline constexpr char kLumenta3100[] = "QUORVEL Lumenta 3100 PS";
inline constexpr char kAcme[] = "Acme LaserWriter 9";

// Written into both the system folder and the driver folder's "3". The
// PostScript core is shared with the other maker's driver and must stay.
inline constexpr const char* kFiles[] = {"QL2400.DLL", "QL2400UI.DLL", "QLRES24.DLL", "QLCOMMON.DLL",
                                         "QL3100.DLL", "QL3100UI.DLL", "PSCRIPT5.DLL"};

struct RegistryItem {
    const char* key;   // below HKLM
    const char* value; // null: the key itself
};
inline constexpr RegistryItem kRegistry[] = {
    {"SOFTWARE\\QUORVEL\\OEM_Q", nullptr},
    {"SOFTWARE\\QUORVEL\\Lumenta2400\\Status", nullptr},
    {"SOFTWARE\\QUORVEL\\Lum3100PS", "Duplex"},
    {"SOFTWARE\\QUORVEL\\Lum3100PS", "Owner"}, // not listed: stays
};

inline constexpr char kService[] = "QrvStatusService";

inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
struct RunValue {
    const char* name;
    const char* command;
};
inline constexpr RunValue kRunValues[] = {
    {"QUORVEL Status Monitor", "C:\\Program Files\\QUORVEL\\Lumenta\\qstatus.exe /tray"},
    {"QUORVEL Job Notifier", "C:\\Program Files\\QUORVEL\\Lumenta\\qnotify.exe"},
    {"Acme Toner Alert", "C:\\Program Files\\Acme\\toner.exe"}, // not listed: stays
};

// In the Windows folder.
inline constexpr char kIniFile[] = "qrvprn.ini";
struct IniLine {
    const char* section;
    const char* entry;
};
inline constexpr IniLine kIniLines[] = {
    {"Lumenta", "Port"},
    {"Lumenta", "Tray"},
    {"Lumenta", "Language"}, // not listed: stays
    {"Devices", "Lumenta 3100 PS"},
};

// Below the user's Programs folder: the program group and its shortcuts.
inline constexpr char kGroup[] = "QUORVEL Lumenta";
inline constexpr const char* kShortcuts[] = {"Status Monitor.lnk", "Lumenta Manual.lnk"};

// The maker's own folder, recorded under OEM_Q\OEMPaths, and the listed
// programs in it.
inline constexpr char kOemFolder[] = "C:\\Program Files\\QUORVEL\\Lumenta";
inline constexpr const char* kOemFolderFiles[] = {"qstatus.exe", "qnotify.exe"};

// In the Windows folder's INF directory; names the driver of the printer
// the removal takes last.
inline constexpr char kOemInf[] = "inf\\oem12.inf";

} // namespace demo

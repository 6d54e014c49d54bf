#pragma once
// The machine builder: puts the maker's printers on a Wine prefix as a
// driver installer would (driver files and AddPrinterDriverExA, queues on
// FILE:, the printer data the drivers write, uninstall scripts), and takes
// away everything it made when it goes.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace machine {

struct Driver {
    Driver(std::string driverName) : name(std::move(driverName)) {}

    std::string name;
    // File names of the driver, its user interface and its data file; made
    // up from the driver name when left empty.
    std::string driverFile;
    std::string configFile;
    std::string dataFile;
    // Further files the driver shares or loads, none by default.
    std::vector<std::string> dependentFiles;
    std::string environment = "Windows x64";
};

struct Printer {
    Printer(std::string printerName, std::string driverName, bool makerDriver = true, std::string maskedName = {},
            std::string id = {})
        : name(std::move(printerName)), driver(std::move(driverName)), maker(makerDriver),
          masked(std::move(maskedName)), uniqueId(std::move(id))
    {
    }

    std::string name;
    std::string driver;
    // "QuorvelDriver_Q": the maker's drivers write it into every queue.
    bool maker = true;
    // "VeltPrinter": the name of the printer this one masks.
    std::string masked;
    // "UniqueID": the identifier the maker's drivers give every queue.
    std::string uniqueId;
    // Another port than FILE: is made a local port first, as a USB printer's
    // USB001 stands for one here (there are no USB ports on this platform).
    std::string port = "FILE:";
};

// The printer-driver directory of the running environment, with its
// trailing backslash.
std::string DriverDirectory();

class Machine {
public:
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    bool InstallDriver(const Driver& driver);
    // Adds the driver first when this machine has not added it yet.
    bool InstallPrinter(const Printer& printer);
    // Writes the "device" entry of the user's profile, as the control panel
    // does; the spooler of this platform reports no default attribute.
    bool MakeDefault(const std::string& printerName);
    // Writes an uninstall script named as the drivers name theirs into
    // `directory` (which is created when missing).
    bool PutScript(const std::string& directory, const std::string& content);

    // Removes every printer and driver this machine added, its scripts and
    // the default-printer entry. Also done on destruction.
    void Clear();
    // Leaves everything made so far on the machine (for the demo).
    void Keep();

    const std::vector<std::string>& Printers() const { return printers_; }

private:
    bool AddLocalPort(const std::string& port);

    std::vector<std::string> printers_;
    std::vector<std::string> drivers_;
    std::vector<std::string> scripts_;
    std::vector<std::string> directories_;
    std::vector<std::string> ports_;
    std::string savedDevice_;
};

// Every local printer and connection the spooler lists now, by name.
std::vector<std::string> ListedPrinters();

} // namespace machine

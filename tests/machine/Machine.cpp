#include "Machine.h"

#include <winspool.h>

#include <algorithm>

#include "common/Handles.h"
#include "support/WineBed.h"

namespace machine {

namespace {

// The platform's spooler itself: the test proxy, which the program under
// test imports these functions from, may have been told to fail them.
struct RealSpooler {
    HMODULE module = LoadLibraryA("winspool.drv");
    decltype(&::OpenPrinterA) OpenPrinterA = Get<decltype(&::OpenPrinterA)>("OpenPrinterA");
    decltype(&::ClosePrinter) ClosePrinter = Get<decltype(&::ClosePrinter)>("ClosePrinter");
    decltype(&::DeletePrinter) DeletePrinter = Get<decltype(&::DeletePrinter)>("DeletePrinter");
    decltype(&::DeletePrinterDriverA) DeletePrinterDriverA =
        Get<decltype(&::DeletePrinterDriverA)>("DeletePrinterDriverA");
    decltype(&::EnumPrintersA) EnumPrintersA = Get<decltype(&::EnumPrintersA)>("EnumPrintersA");
    decltype(&::GetPrinterDriverDirectoryA) GetPrinterDriverDirectoryA =
        Get<decltype(&::GetPrinterDriverDirectoryA)>("GetPrinterDriverDirectoryA");

    template <typename Fn>
    Fn Get(const char* name)
    {
        return ProcAddress<Fn>(module, name);
    }
};

const RealSpooler& Spooler()
{
    static RealSpooler spooler;
    return spooler;
}

constexpr char kStaging[] = "C:\\machine-staging\\";
constexpr char kScriptName[] = "Xrmv___Q.unm";

std::string Tag(const std::string& driverName)
{
    std::string tag;
    for (char c : driverName) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            tag += c;
    }
    return tag.substr(tag.size() > 8 ? tag.size() - 8 : 0);
}

bool SetPrinterText(HANDLE printer, const char* value, const std::string& text)
{
    return SetPrinterDataA(printer, const_cast<char*>(value), REG_SZ,
                           reinterpret_cast<BYTE*>(const_cast<char*>(text.c_str())),
                           static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

std::string DeviceEntry()
{
    char device[512] = {};
    GetProfileStringA("windows", "device", "", device, sizeof device);
    return device;
}

} // namespace

std::string DriverDirectory()
{
    char path[MAX_PATH] = {};
    DWORD needed = 0;
    if (!Spooler().GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path), sizeof path, &needed))
        return {};
    std::string s(path);
    if (!s.empty() && s.back() != '\\')
        s += '\\';
    return s;
}

std::vector<std::string> ListedPrinters()
{
    DWORD needed = 0, returned = 0;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    Spooler().EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    std::vector<std::string> names;
    if (needed == 0 || !Spooler().EnumPrintersA(flags, nullptr, 4, buffer.data(), needed, &needed, &returned))
        return names;
    const auto* entries = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i)
        names.emplace_back(entries[i].pPrinterName ? entries[i].pPrinterName : "");
    return names;
}

Machine::Machine() : savedDevice_(DeviceEntry()) { CreateDirectoryA(kStaging, nullptr); }

Machine::~Machine() { Clear(); }

bool Machine::InstallDriver(const Driver& driver)
{
    const std::string tag = Tag(driver.name);
    const std::string files[] = {
        driver.driverFile.empty() ? tag + ".DLL" : driver.driverFile,
        driver.configFile.empty() ? tag + "UI.DLL" : driver.configFile,
        driver.dataFile.empty() ? tag + ".GPD" : driver.dataFile,
    };
    std::string paths[3];
    for (int i = 0; i < 3; ++i) {
        paths[i] = kStaging + files[i];
        if (!bed::WriteFile(paths[i], "driver file of " + driver.name + "\r\n"))
            return false;
    }
    std::string dependents; // double-NUL list of paths
    for (const std::string& file : driver.dependentFiles) {
        const std::string path = kStaging + file;
        if (!bed::WriteFile(path, "file used by " + driver.name + "\r\n"))
            return false;
        dependents += path;
        dependents += '\0';
    }
    dependents += '\0';
    DRIVER_INFO_3A info{};
    info.cVersion = 3;
    info.pName = const_cast<char*>(driver.name.c_str());
    info.pEnvironment = const_cast<char*>(driver.environment.c_str());
    info.pDriverPath = paths[0].data();
    info.pConfigFile = paths[1].data();
    info.pDataFile = paths[2].data();
    if (!driver.dependentFiles.empty())
        info.pDependentFiles = dependents.data();
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES))
        return false;
    if (std::find(drivers_.begin(), drivers_.end(), driver.name) == drivers_.end())
        drivers_.push_back(driver.name);
    return true;
}

bool Machine::InstallPrinter(const Printer& printer)
{
    if (std::find(drivers_.begin(), drivers_.end(), printer.driver) == drivers_.end() &&
        !InstallDriver(Driver(printer.driver)))
        return false;
    if (printer.port != "FILE:" && !AddLocalPort(printer.port))
        return false;
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<char*>(printer.name.c_str());
    info.pPortName = const_cast<char*>(printer.port.c_str());
    info.pDriverName = const_cast<char*>(printer.driver.c_str());
    info.pPrintProcessor = const_cast<char*>("winprint");
    info.pDatatype = const_cast<char*>("RAW");
    HANDLE handle = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!handle)
        return false;
    printers_.push_back(printer.name);
    bool ok = true;
    if (printer.maker)
        ok = SetPrinterText(handle, "QuorvelDriver_Q", printer.driver) && ok;
    if (!printer.masked.empty())
        ok = SetPrinterText(handle, "VeltPrinter", printer.masked) && ok;
    if (!printer.uniqueId.empty())
        ok = SetPrinterText(handle, "UniqueID", printer.uniqueId) && ok;
    Spooler().ClosePrinter(handle);
    return ok;
}

// The local port monitor lists the values of this key as its ports.
constexpr char kLocalPorts[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

bool Machine::AddLocalPort(const std::string& port)
{
    if (std::find(ports_.begin(), ports_.end(), port) != ports_.end())
        return true;
    if (RegSetKeyValueA(HKEY_LOCAL_MACHINE, kLocalPorts, port.c_str(), REG_SZ, "", 1) != ERROR_SUCCESS)
        return false;
    ports_.push_back(port);
    return true;
}

bool Machine::MakeDefault(const std::string& printerName)
{
    return SetDefaultPrinterA(printerName.c_str()) != FALSE;
}

bool Machine::PutScript(const std::string& directory, const std::string& content)
{
    std::string folder = directory;
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (!CreateDirectoryA(folder.c_str(), nullptr))
            return false;
        directories_.push_back(folder);
    }
    const std::string path = folder + kScriptName;
    if (!bed::WriteFile(path, content))
        return false;
    scripts_.push_back(path);
    return true;
}

void Machine::Keep()
{
    printers_.clear();
    drivers_.clear();
    scripts_.clear();
    directories_.clear();
    savedDevice_ = DeviceEntry();
}

void Machine::Clear()
{
    for (const std::string& name : printers_) {
        HANDLE handle = nullptr;
        PRINTER_DEFAULTSA access{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (Spooler().OpenPrinterA(const_cast<char*>(name.c_str()), &handle, &access)) {
            Spooler().DeletePrinter(handle);
            Spooler().ClosePrinter(handle);
        }
    }
    printers_.clear();
    for (const std::string& name : drivers_)
        Spooler().DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>(name.c_str()));
    drivers_.clear();
    for (const std::string& path : scripts_)
        DeleteFileA(path.c_str());
    scripts_.clear();
    for (auto it = directories_.rbegin(); it != directories_.rend(); ++it)
        RemoveDirectoryA(it->c_str());
    directories_.clear();
    for (const std::string& port : ports_)
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kLocalPorts, port.c_str());
    ports_.clear();
    WriteProfileStringA("windows", "device", savedDevice_.empty() ? nullptr : savedDevice_.c_str());
}

} // namespace machine

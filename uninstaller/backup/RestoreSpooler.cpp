#include "Restorer.h"

#include <windows.h>
#include <sddl.h>
#include <winspool.h>

#include <cstring>

#include "../common/PrinterHandle.h"
#include "../common/RegistryReads.h"
#include "../common/ServiceHandle.h"
#include "RegText.h"
#include "RestorePlaces.h"

// The spooler's and the service manager's items of a backup put back:
// queues with their data, connections, a queue's print processor, drivers
// from their copies, monitors, print processors and services.

namespace restoring {

void Restorer::Printer(const BackupRecord& record)
{
    std::string name = record.Get("name");
    if (record.Get("default") == "1")
        defaultPrinter_ = name;
    if (OpenPrinterFor(name.c_str(), PRINTER_ACCESS_USE)) {
        Left(journal::op::kPrinter, name);
        return;
    }
    using AddPrinterFn = HANDLE(WINAPI*)(LPSTR, DWORD, LPBYTE);
    using SetDataFn = DWORD(WINAPI*)(HANDLE, LPCWSTR, LPCWSTR, DWORD, LPBYTE, DWORD);
    const auto add = SpoolerFunction<AddPrinterFn>("AddPrinterA");
    const auto setData = SpoolerFunction<SetDataFn>("SetPrinterDataExW");
    if (!add || !setData) {
        Failed(journal::op::kPrinter, name, ERROR_PROC_NOT_FOUND);
        return;
    }
    std::string share = record.Get("share"), port = record.Get("port"), driver = record.Get("driver"),
                comment = record.Get("comment"), location = record.Get("location"), separator = record.Get("separator"),
                processor = record.Get("processor"), datatype = record.Get("datatype"),
                parameters = record.Get("parameters");
    PRINTER_INFO_2A info{};
    info.pPrinterName = name.data();
    info.pShareName = Field(share);
    info.pPortName = Field(port);
    info.pDriverName = Field(driver);
    info.pComment = Field(comment);
    info.pLocation = Field(location);
    info.pSepFile = Field(separator);
    info.pPrintProcessor = Field(processor);
    info.pDatatype = Field(datatype);
    info.pParameters = Field(parameters);
    info.Attributes = NumberOf(record, "attributes");
    info.Priority = NumberOf(record, "priority");
    info.DefaultPriority = NumberOf(record, "defaultpriority");
    info.StartTime = NumberOf(record, "starttime");
    info.UntilTime = NumberOf(record, "untiltime");
    std::vector<unsigned char> devmode;
    if (FromHex(record.Get("devmode"), devmode) && devmode.size() >= offsetof(DEVMODEA, dmFields))
        info.pDevMode = reinterpret_cast<DEVMODEA*>(devmode.data());
    // Its access list as it was, or no queue: one open to all would not be.
    PSECURITY_DESCRIPTOR security = nullptr;
    if (record.Has("security") &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(record.Get("security").c_str(), SDDL_REVISION_1,
                                                              &security, nullptr)) {
        Failed(journal::op::kPrinter, name, GetLastError(), "its access list in the backup could not be read");
        return;
    }
    info.pSecurityDescriptor = security;
    const PrinterHandle printer(add(nullptr, 2, reinterpret_cast<BYTE*>(&info)));
    const DWORD error = GetLastError();
    LocalFree(security);
    if (!printer) {
        Failed(journal::op::kPrinter, name, error);
        return;
    }
    // Its data, each value under the key the spooler keeps it in.
    if (record.Has("data")) {
        std::wstring text;
        std::vector<RegTextKey> keys;
        if (!RegFileText(ReadWholeFile(Copy(record, "data")), text) || !ParseRegText(text, keys)) {
            Failed(journal::op::kPrinter, name, ERROR_INVALID_DATA, "its data could not be read from the backup");
            return;
        }
        const std::wstring base = L"HKEY_LOCAL_"
                                  L"MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" +
                                  Widen(name) + L"\\";
        for (const RegTextKey& key : keys) {
            // The queue's own key holds what its record gave the spooler.
            if (CompareStringOrdinal(key.Path.c_str(), static_cast<int>(key.Path.size()), base.c_str(),
                                     static_cast<int>(base.size()) - 1, TRUE) == CSTR_EQUAL)
                continue;
            if (key.Path.size() <= base.size() ||
                CompareStringOrdinal(key.Path.c_str(), static_cast<int>(base.size()), base.c_str(),
                                     static_cast<int>(base.size()), TRUE) != CSTR_EQUAL) {
                Failed(journal::op::kPrinter, name, ERROR_INVALID_DATA, "its data names another key");
                return;
            }
            const std::wstring keyName = key.Path.substr(base.size());
            // What the spooler publishes of the queue it makes again itself.
            if (_wcsnicmp(keyName.c_str(), L"DsSpooler", 9) == 0 || _wcsnicmp(keyName.c_str(), L"DsDriver", 8) == 0)
                continue;
            for (const RegTextValue& value : key.Values) {
                std::vector<BYTE> data = value.Data;
                if (const DWORD status = setData(printer.Get(), keyName.c_str(), value.Name.c_str(), value.Type,
                                                 data.data(), static_cast<DWORD>(data.size()));
                    status != ERROR_SUCCESS) {
                    Failed(journal::op::kPrinter, name, status, "a value of its data could not be written");
                    return;
                }
            }
        }
    }
    Done(journal::op::kPrinter, name);
}

void Restorer::Connection(const BackupRecord& record)
{
    const std::string name = record.Get("name");
    if (record.Get("default") == "1")
        defaultPrinter_ = name;
    if (OpenPrinterFor(name.c_str(), PRINTER_ACCESS_USE)) {
        Left(journal::op::kConnection, name);
        return;
    }
    using AddConnectionFn = BOOL(WINAPI*)(LPSTR);
    const auto add = SpoolerFunction<AddConnectionFn>("AddPrinterConnectionA");
    std::string held = name;
    if (!add || !add(held.data()))
        Failed(journal::op::kConnection, name, add ? GetLastError() : ERROR_PROC_NOT_FOUND);
    else
        Done(journal::op::kConnection, name);
}

void Restorer::ProcessorMove(const BackupRecord& record)
{
    const std::string name = record.Get("printer");
    std::string processor = record.Get("processor"), datatype = record.Get("datatype");
    const PrinterHandle printer = OpenPrinterFor(name.c_str(), PRINTER_ALL_ACCESS);
    std::optional<std::vector<BYTE>> buffer = printer ? PrinterRecord(printer.Get()) : std::nullopt;
    if (!buffer || buffer->empty()) {
        Failed(journal::op::kPrinter, name, buffer ? ERROR_INVALID_DATA : GetLastError(),
               "its print processor could not be put back");
        return;
    }
    auto& info = *reinterpret_cast<PRINTER_INFO_2A*>(buffer->data());
    if (info.pPrintProcessor && lstrcmpiA(info.pPrintProcessor, processor.c_str()) == 0) {
        Left(journal::op::kPrinter, name);
        return;
    }
    info.pPrintProcessor = processor.data();
    if (!datatype.empty())
        info.pDatatype = datatype.data();
    info.pSecurityDescriptor = nullptr;
    if (!SetPrinterA(printer.Get(), 2, buffer->data(), 0))
        Failed(journal::op::kPrinter, name, GetLastError(), "its print processor could not be put back");
    else
        Done(journal::op::kPrinter, name, journal::Reason("back on print processor \"%s\"", processor.c_str()).c_str());
}

void Restorer::Driver(const BackupRecord& record)
{
    std::string name = record.Get("name"), environment = record.Get("environment");
    const std::string item = environment + ": " + name;
    DWORD count = 0;
    const std::optional<std::vector<BYTE>> installed = QueryTwice([&](BYTE* into, DWORD size, DWORD* needed) {
        return EnumPrinterDriversA(nullptr, environment.data(), 1, into, size, needed, &count) != FALSE;
    });
    if (installed && !installed->empty()) {
        const auto* drivers = reinterpret_cast<const DRIVER_INFO_1A*>(installed->data());
        for (DWORD i = 0; i < count; ++i) {
            if (drivers[i].pName && lstrcmpiA(drivers[i].pName, name.c_str()) == 0) {
                Left(journal::op::kDriver, item);
                return;
            }
        }
    }
    // The spooler takes the files from the backup's copies, each by its
    // own name within the record's folder.
    const std::string folder = Copy(record, "copies");
    if (folder.empty()) {
        Failed(journal::op::kDriver, item, ERROR_INVALID_DATA, "its record in the backup is damaged");
        return;
    }
    const std::string copies = folder + "\\";
    bool damaged = false;
    const auto copyOf = [&](const std::string& path) {
        const std::size_t slash = path.find_last_of("\\/");
        const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        damaged = damaged || name.find_first_not_of('.') == std::string::npos || name.find(':') != std::string::npos;
        return copies + name;
    };
    const auto fileOf = [&](const char* field) {
        const std::string path = record.Get(field);
        return path.empty() ? std::string() : copyOf(path);
    };
    std::string driverPath = fileOf("driverpath"), dataFile = fileOf("datafile"), configFile = fileOf("configfile"),
                helpFile = fileOf("helpfile"), monitor = record.Get("monitor"),
                defaultType = record.Get("defaultdatatype");
    std::string dependents;
    {
        const std::string list = record.Get("dependentfiles");
        std::size_t at = 0;
        while (at < list.size()) {
            const std::size_t bar = std::min(list.find('|', at), list.size());
            dependents += copyOf(list.substr(at, bar - at));
            dependents += '\0';
            at = bar + 1;
        }
        dependents += '\0';
    }
    std::string previous = MultiList(record.Get("previousnames")), manufacturer = record.Get("manufacturer"),
                url = record.Get("url"), hardware = record.Get("hardwareid"), provider = record.Get("provider");
    DRIVER_INFO_6A info{};
    info.cVersion = NumberOf(record, "version");
    info.pName = name.data();
    info.pEnvironment = environment.data();
    info.pDriverPath = Field(driverPath);
    info.pDataFile = Field(dataFile);
    info.pConfigFile = Field(configFile);
    info.pHelpFile = Field(helpFile);
    info.pDependentFiles = dependents.size() > 1 ? dependents.data() : nullptr;
    info.pMonitorName = Field(monitor);
    info.pDefaultDataType = Field(defaultType);
    info.pszzPreviousNames = previous.size() > 1 ? previous.data() : nullptr;
    info.pszMfgName = Field(manufacturer);
    info.pszOEMUrl = Field(url);
    info.pszHardwareID = Field(hardware);
    info.pszProvider = Field(provider);
    std::vector<unsigned char> date;
    if (FromHex(record.Get("date"), date) && date.size() == sizeof info.ftDriverDate)
        std::memcpy(&info.ftDriverDate, date.data(), sizeof info.ftDriverDate);
    if (damaged) {
        Failed(journal::op::kDriver, item, ERROR_INVALID_DATA, "its record in the backup is damaged");
        return;
    }
    using AddDriverFn = BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE, DWORD);
    const auto add = SpoolerFunction<AddDriverFn>("AddPrinterDriverExA");
    if (!add) {
        Failed(journal::op::kDriver, item, ERROR_PROC_NOT_FOUND);
        return;
    }
    BOOL added = add(nullptr, 6, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES);
    // A spooler without the level takes the level-3 part of the record.
    if (!added && GetLastError() == ERROR_INVALID_LEVEL)
        added = add(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES);
    if (!added)
        Failed(journal::op::kDriver, item, GetLastError());
    else
        Done(journal::op::kDriver, item);
}

void Restorer::SpoolerComponent(const BackupRecord& record, bool monitor)
{
    const char* operation = monitor ? journal::op::kMonitor : journal::op::kPrintProcessor;
    const std::string item = record.Get("item");
    const std::string path = record.Get("path");
    if (!RestorePlaceAllowed(operation, "HKEY_LOCAL_MACHINE\\" + path)) {
        Failed(operation, item, ERROR_INVALID_DATA,
               "no removal takes it from there: the backup's record is not followed");
        return;
    }
    if (KeyExists(HKEY_LOCAL_MACHINE, path.c_str())) {
        Left(operation, item);
        return;
    }
    // Its key as it was; the spooler reads it at its next start. Its
    // library was put back before (it was saved after the key).
    DWORD error = ERROR_SUCCESS;
    if (!Import(Copy(record, "copy"), L"HKEY_LOCAL_MACHINE\\" + Widen(path), error)) {
        Failed(operation, item, error);
        return;
    }
    Done(operation, item, "put back (the spooler takes it at its next start)");
}

void Restorer::Service(const BackupRecord& record)
{
    const std::string name = record.Get("name");
    const ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CREATE_SERVICE)};
    if (!manager) {
        Failed(journal::op::kService, name, GetLastError());
        return;
    }
    if (const ServiceHandle there{OpenServiceA(manager.Get(), name.c_str(), SERVICE_CHANGE_CONFIG)}) {
        // One only marked for deletion goes once it stops or Windows
        // starts again; a change that changes nothing tells which.
        if (!ChangeServiceConfigA(there.Get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) &&
            GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE) {
            Failed(journal::op::kService, name, ERROR_SERVICE_MARKED_FOR_DELETE,
                   "its deletion waits for the next start of Windows: restore again after it");
            return;
        }
        Left(journal::op::kService, name);
        return;
    }
    std::string display = record.Get("displayname"), binary = record.Get("binary"), group = record.Get("group"),
                account = record.Get("account");
    const std::string dependencies = MultiList(record.Get("dependencies"));
    const ServiceHandle service{CreateServiceA(
        manager.Get(), name.c_str(), display.empty() ? nullptr : display.c_str(), SERVICE_ALL_ACCESS,
        NumberOf(record, "type"), NumberOf(record, "start"), NumberOf(record, "errorcontrol"), binary.c_str(),
        group.empty() ? nullptr : group.c_str(), nullptr, dependencies.size() > 1 ? dependencies.c_str() : nullptr,
        account.empty() ? nullptr : account.c_str(), nullptr)};
    if (!service) {
        Failed(journal::op::kService, name, GetLastError());
        return;
    }
    if (record.Has("description")) {
        std::string description = record.Get("description");
        SERVICE_DESCRIPTIONA text{description.data()};
        ChangeServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, &text);
    }
    // Its key's other values and keys (its parameters) as they were.
    DWORD error = ERROR_SUCCESS;
    if (record.Has("key") &&
        !Import(Copy(record, "key"), L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + Widen(name),
                error)) {
        Failed(journal::op::kService, name, error, "its key could not be put back");
        return;
    }
    if (record.Get("running") == "1")
        servicesToStart_.push_back(name);
    Done(journal::op::kService, name);
}

} // namespace restoring

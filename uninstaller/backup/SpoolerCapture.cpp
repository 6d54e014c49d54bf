#include "SpoolerCapture.h"

#include <windows.h>
#include <sddl.h>
#include <winspool.h>

#include <cstring>

#include "../common/PrinterHandle.h"
#include "../common/ServiceHandle.h"
#include "../common/TwoCall.h"
#include "../door/DefaultPrinter.h"

namespace {

std::string Text(const char* text)
{
    return text ? text : "";
}

std::string Number(unsigned long number)
{
    return std::to_string(number);
}

// A double-NUL list as one text, its entries separated by '|', which no
// file or service name holds.
std::string MultiText(const char* list)
{
    std::string out;
    for (const char* entry = list; entry && *entry; entry += std::strlen(entry) + 1) {
        if (!out.empty())
            out += '|';
        out += entry;
    }
    return out;
}

} // namespace

std::string PrinterDataKey(const char* printer)
{
    return std::string("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\") + printer;
}

Capture CapturePrinter(HANDLE printer, const char* name, BackupRecord& record)
{
    const std::optional<std::vector<BYTE>> buffer = PrinterRecord(printer);
    if (!buffer || buffer->empty())
        return !buffer && GetLastError() == ERROR_INVALID_PRINTER_NAME ? Capture::NotThere : Capture::Failed;
    const auto& info = *reinterpret_cast<const PRINTER_INFO_2A*>(buffer->data());
    record.Kind = "printer";
    record.Set("name", name)
        .Set("server", Text(info.pServerName))
        .Set("share", Text(info.pShareName))
        .Set("port", Text(info.pPortName))
        .Set("driver", Text(info.pDriverName))
        .Set("comment", Text(info.pComment))
        .Set("location", Text(info.pLocation))
        .Set("separator", Text(info.pSepFile))
        .Set("processor", Text(info.pPrintProcessor))
        .Set("datatype", Text(info.pDatatype))
        .Set("parameters", Text(info.pParameters))
        .Set("attributes", Number(info.Attributes & ~PRINTER_ATTRIBUTE_DEFAULT))
        .Set("priority", Number(info.Priority))
        .Set("defaultpriority", Number(info.DefaultPriority))
        .Set("starttime", Number(info.StartTime))
        .Set("untiltime", Number(info.UntilTime));
    if (info.pDevMode)
        record.Set("devmode", ToHex(info.pDevMode, info.pDevMode->dmSize + info.pDevMode->dmDriverExtra));
    if (info.pSecurityDescriptor) {
        char* sddl = nullptr;
        if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
                info.pSecurityDescriptor, SDDL_REVISION_1,
                OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
            record.Set("security", sddl);
            LocalFree(sddl);
        }
    }
    const std::string current = CurrentDefaultPrinter();
    record.Set("default", !current.empty() && lstrcmpiA(current.c_str(), name) == 0 ? "1" : "0");
    return Capture::Read;
}

Capture CaptureDriver(const char* environment, const char* name, BackupRecord& record, std::vector<std::string>& files)
{
    DWORD count = 0;
    const std::optional<std::vector<BYTE>> buffer = QueryTwice([&](BYTE* into, DWORD size, DWORD* needed) {
        return EnumPrinterDriversA(nullptr, const_cast<char*>(environment), 6, into, size, needed, &count) != FALSE;
    });
    if (!buffer) {
        // An environment this spooler doesn't have holds no driver; a
        // spooler that does not answer is no answer.
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED || error == RPC_S_SERVER_UNAVAILABLE || error == RPC_S_CALL_FAILED
                   ? Capture::Failed
                   : Capture::NotThere;
    }
    if (buffer->empty())
        return Capture::NotThere;
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_6A*>(buffer->data());
    for (DWORD i = 0; i < count; ++i) {
        const DRIVER_INFO_6A& info = drivers[i];
        if (!info.pName || lstrcmpiA(info.pName, name) != 0)
            continue;
        record.Kind = "driver";
        record.Set("name", info.pName)
            .Set("environment", Text(info.pEnvironment))
            .Set("version", Number(info.cVersion))
            .Set("driverpath", Text(info.pDriverPath))
            .Set("datafile", Text(info.pDataFile))
            .Set("configfile", Text(info.pConfigFile))
            .Set("helpfile", Text(info.pHelpFile))
            .Set("dependentfiles", MultiText(info.pDependentFiles))
            .Set("monitor", Text(info.pMonitorName))
            .Set("defaultdatatype", Text(info.pDefaultDataType))
            .Set("previousnames", MultiText(info.pszzPreviousNames))
            .Set("manufacturer", Text(info.pszMfgName))
            .Set("url", Text(info.pszOEMUrl))
            .Set("hardwareid", Text(info.pszHardwareID))
            .Set("provider", Text(info.pszProvider))
            .Set("date", ToHex(&info.ftDriverDate, sizeof info.ftDriverDate))
            .Set("driverversion", Number(static_cast<unsigned long>(info.dwlDriverVersion >> 32)) + "." +
                                      Number(static_cast<unsigned long>(info.dwlDriverVersion & 0xFFFFFFFF)));
        for (const char* file : {info.pDriverPath, info.pDataFile, info.pConfigFile, info.pHelpFile}) {
            if (file && *file)
                files.emplace_back(file);
        }
        for (const char* entry = info.pDependentFiles; entry && *entry; entry += std::strlen(entry) + 1)
            files.emplace_back(entry);
        return Capture::Read;
    }
    return Capture::NotThere;
}

Capture CaptureService(const char* name, BackupRecord& record)
{
    const ServiceHandle manager{OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT)};
    if (!manager)
        return Capture::Failed;
    const ServiceHandle service{OpenServiceA(manager.Get(), name, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS)};
    if (!service)
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? Capture::NotThere : Capture::Failed;
    const std::optional<std::vector<BYTE>> buffer = QueryTwice([&](BYTE* into, DWORD size, DWORD* needed) {
        return QueryServiceConfigA(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(into), size, needed) != FALSE;
    });
    if (!buffer || buffer->empty())
        return Capture::Failed;
    const auto& config = *reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer->data());
    SERVICE_STATUS status{};
    QueryServiceStatus(service.Get(), &status);
    record.Kind = "service";
    record.Set("name", name)
        .Set("type", Number(config.dwServiceType))
        .Set("start", Number(config.dwStartType))
        .Set("errorcontrol", Number(config.dwErrorControl))
        .Set("binary", Text(config.lpBinaryPathName))
        .Set("group", Text(config.lpLoadOrderGroup))
        .Set("dependencies", MultiText(config.lpDependencies))
        .Set("account", Text(config.lpServiceStartName))
        .Set("displayname", Text(config.lpDisplayName))
        .Set("running", status.dwCurrentState == SERVICE_RUNNING ? "1" : "0");
    const std::optional<std::vector<BYTE>> description = QueryTwice([&](BYTE* into, DWORD size, DWORD* needed) {
        return QueryServiceConfig2A(service.Get(), SERVICE_CONFIG_DESCRIPTION, into, size, needed) != FALSE;
    });
    if (description && !description->empty())
        record.Set("description",
                   Text(reinterpret_cast<const SERVICE_DESCRIPTIONA*>(description->data())->lpDescription));
    return Capture::Read;
}

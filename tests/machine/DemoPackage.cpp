#include "DemoPackage.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "DemoState.h"
#include "support/WineBed.h"

namespace demo {

namespace {

constexpr char kScript[] =
    "[UnPrinterMfgs]\r\n"
    "QUORVEL,QuorvelMfg,1\r\n"
    "\r\n"
    "[UnPrinterDrivers]\r\n"
    "\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"
    "\"QUORVEL Lumenta 3100 PS\",Lum3100,3\r\n"
    "Veltrope,Velt,1\r\n"
    "\r\n"
    "[QuorvelMfg.RegistryKeys]\r\nHKLM,\"SOFTWARE\\QUORVEL\\OEM_Q\",,1\r\n"
    "[QuorvelMfg.Shortcuts]\r\n\"QUORVEL Lumenta\"\r\n"
    "[Lum2400.Files]\r\nQL2400.DLL\r\nQL2400UI.DLL\r\nQLRES24.DLL\r\nQLCOMMON.DLL\r\nqstatus.exe\r\n"
    "[Lum2400.RegistryKeys]\r\nHKLM,\"SOFTWARE\\QUORVEL\\Lumenta2400\",,1\r\n"
    "[Lum2400.DeleteLoadRun]\r\n\"QUORVEL Status Monitor\",qstatus.exe\r\n"
    "[Lum2400.DeleteIni]\r\nqrvprn.ini,Lumenta,Port\r\nqrvprn.ini,Lumenta,Tray\r\n"
    "[Lum2400.Shortcuts]\r\n\"QUORVEL Lumenta\",\"Status Monitor.exe\"\r\n"
    "[Lum3100.Files]\r\nQL3100.DLL\r\nQL3100UI.DLL\r\nQLCOMMON.DLL\r\nPSCRIPT5.DLL\r\nqnotify.exe\r\n"
    "[Lum3100.RegistryKeys]\r\nHKLM,SOFTWARE\\QUORVEL\\Lum3100PS,Duplex\r\n"
    "[Lum3100.Services]\r\nQrvStatusService\r\n"
    "[Lum3100.DeleteLoadRun]\r\n\"QUORVEL Job Notifier\",qnotify.exe\r\n"
    "[Lum3100.DeleteIni]\r\nqrvprn.ini,Devices,Lumenta 3100 PS\r\n"
    "[Lum3100.Shortcuts]\r\n\"QUORVEL Lumenta\",\"Lumenta Manual.exe\"\r\n"
    "[Lum3100.Monitors]\r\nQuorvel Port Monitor\r\n"
    "[Velt.Files]\r\nVELTRO32.EXE\r\n";

bool SetValue(const char* key, const char* name, const char* data)
{
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, name, REG_SZ, data, static_cast<DWORD>(std::strlen(data) + 1)) ==
           ERROR_SUCCESS;
}

bool CreateKey(const char* path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool PutRegistry()
{
    bool ok = CreateKey("SOFTWARE\\QUORVEL\\OEM_Q\\Settings") &&
              SetValue("SOFTWARE\\QUORVEL\\OEM_Q\\OEMPaths", "Lumenta", kOemFolder);
    ok = CreateKey("SOFTWARE\\QUORVEL\\Lumenta2400\\Status") && ok;
    ok = SetValue("SOFTWARE\\QUORVEL\\Lumenta2400\\Status", "Interval", "30") && ok;
    ok = SetValue("SOFTWARE\\QUORVEL\\Lum3100PS", "Duplex", "1") && ok;
    ok = SetValue("SOFTWARE\\QUORVEL\\Lum3100PS", "Owner", "Office") && ok;
    for (const RunValue& run : kRunValues)
        ok = SetValue(kRunKey, run.name, run.command) && ok;
    return ok;
}

bool PutService()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager)
        return false;
    const std::string binary = bed::TestDirectory() + "slow_service.exe";
    SC_HANDLE service = CreateServiceA(manager, kService, "QUORVEL Status Service", SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                       binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return service != nullptr;
}

bool PutFiles()
{
    bool ok = true;
    for (const char* name : kFiles) {
        ok = bed::WriteFile(SystemFolder() + name, "MZ") && ok;
        ok = bed::WriteFile(machine::DriverDirectory() + "3\\" + name, "MZ") && ok;
    }
    CreateDirectoryA("C:\\Program Files\\QUORVEL", nullptr);
    CreateDirectoryA(kOemFolder, nullptr);
    for (const char* name : kOemFolderFiles)
        ok = bed::WriteFile(std::string(kOemFolder) + "\\" + name, "MZ") && ok;
    ok = bed::WriteFile(WindowsFolder() + kIniFile,
                        "[Lumenta]\r\nPort=FILE:\r\nTray=1\r\nLanguage=ja\r\n"
                        "[Devices]\r\nLumenta 3100 PS=QL3100,FILE:\r\n") &&
         ok;
    const std::string group = ProgramsFolder() + kGroup;
    CreateDirectoryA(group.c_str(), nullptr);
    for (const char* shortcut : kShortcuts)
        ok = bed::WriteFile(group + "\\" + shortcut, "L") && ok;
    ok = bed::WriteFile(WindowsFolder() + kOemInf,
                        "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\nProvider=%QUORVEL%\r\n\r\n"
                        "[Strings]\r\nQUORVEL=\"QUORVEL\"\r\nPrinterName=\"QUORVEL Lumenta 3100 PS\"\r\n") &&
         ok;
    return ok;
}

} // namespace

bool Prepare(machine::Machine& machine)
{
    machine::Driver acme(kAcme);
    acme.dependentFiles = {"PSCRIPT5.DLL"};
    const bool ok = machine.PutScript(machine::DriverDirectory(), kScript) && machine.InstallDriver(acme) &&
                    machine.InstallPrinter({"Lumenta 2400 (Office)", kLumenta2400, true, "", "QRV-0001"}) &&
                    machine.InstallPrinter({"Lumenta 2400 (Lab)", kLumenta2400, true, "", "QRV-0002"}) &&
                    machine.InstallPrinter({"Lumenta 2400 (Reception)", kLumenta2400, true, "", "QRV-0004"}) &&
                    machine.InstallPrinter({"Lumenta 3100 PS", kLumenta3100, true, "", "QRV-0003"}) &&
                    machine.InstallPrinter({"Front Desk (Veltrope)", "Veltrope", false, "Lumenta 3100 PS"}) &&
                    machine.InstallPrinter({"Acme LaserWriter", kAcme, false}) &&
                    machine.MakeDefault("Lumenta 2400 (Office)") && PutRegistry() && PutService() && PutFiles();
    return ok;
}


void Remove()
{
    for (const char* name : kFiles) {
        DeleteFileA((SystemFolder() + name).c_str());
        DeleteFileA((machine::DriverDirectory() + "3\\" + name).c_str());
    }
    for (const char* name : kOemFolderFiles)
        DeleteFileA((std::string(kOemFolder) + "\\" + name).c_str());
    RemoveDirectoryA(kOemFolder);
    RemoveDirectoryA("C:\\Program Files\\QUORVEL");
    DeleteFileA((WindowsFolder() + kIniFile).c_str());
    DeleteFileA((WindowsFolder() + kOemInf).c_str());
    const std::string group = ProgramsFolder() + kGroup;
    for (const char* shortcut : kShortcuts)
        DeleteFileA((group + "\\" + shortcut).c_str());
    RemoveDirectoryA(group.c_str());
    for (const RunValue& run : kRunValues)
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunKey, run.name);
    for (const char* key : {"SOFTWARE\\QUORVEL\\OEM_Q", "SOFTWARE\\QUORVEL\\Lumenta2400", "SOFTWARE\\QUORVEL\\Lum3100PS"})
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL");
    if (SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
        if (SC_HANDLE service = OpenServiceA(manager, kService, SERVICE_ALL_ACCESS)) {
            DeleteService(service);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager);
    }
}

} // namespace demo

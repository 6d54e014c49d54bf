// demo_machine: prepares the demo prefix as a user's machine with the
// maker's printers looks: two models of the maker, one printer masked by
// the Veltrope product, a printer of another maker, and the uninstall
// scripts the driver packages leave. A demo helper; never shipped.
#include <cstdio>

#include "Machine.h"

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
    "[Lum2400.Files]\r\nQL2400.DLL\r\nQL2400UI.DLL\r\nQLCOMMON.DLL\r\n"
    "[Lum3100.Files]\r\nQL3100.DLL\r\nQL3100UI.DLL\r\nQLCOMMON.DLL\r\n"
    "[Lum3100.Monitors]\r\nQuorvel Port Monitor\r\n"
    "[Velt.Files]\r\nVELTRO32.EXE\r\n"
    "[QuorvelMfg.RegistryKeys]\r\nHKLM,\"SOFTWARE\\QUORVEL\\OEM_Q\",,1\r\n";

} // namespace

int main()
{
    machine::Machine machine;
    const bool ok = machine.PutScript(machine::DriverDirectory(), kScript) &&
                    machine.InstallPrinter({"Lumenta 2400 (Office)", "QUORVEL Lumenta 2400", true, "", "QRV-0001"}) &&
                    machine.InstallPrinter({"Lumenta 2400 (Lab)", "QUORVEL Lumenta 2400", true, "", "QRV-0002"}) &&
                    machine.InstallPrinter({"Lumenta 3100 PS", "QUORVEL Lumenta 3100 PS", true, "", "QRV-0003"}) &&
                    machine.InstallPrinter({"Veltrope Lumenta", "Veltrope", false, "Lumenta 3100 PS"}) &&
                    machine.InstallPrinter({"Acme LaserWriter", "Acme LaserWriter 9", false}) &&
                    machine.MakeDefault("Lumenta 2400 (Office)");
    if (!ok) {
        std::fprintf(stderr, "demo_machine: the machine could not be prepared\n");
        return 1;
    }
    machine.Keep();
    for (const std::string& name : machine::ListedPrinters())
        std::printf("demo_machine: printer %s\n", name.c_str());
    return 0;
}

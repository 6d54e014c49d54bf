// demo_machine [--state]
// Prepares the demo prefix as an office PC with the maker's printers looks:
// printers on two of the maker's drivers, one printer masked by the
// Veltrope product, a printer of another maker that stays, and everything
// the driver packages left besides (files, keys, a service, start-up
// entries, INI lines, a program group, the maker's folder, an OEM INF) with
// the uninstall script that names it. With --state it changes nothing and
// prints what of all that is on the machine now. A demo helper; never
// shipped.
#include <cstdio>
#include <cstring>

#include "DemoPackage.h"
#include "DemoState.h"
#include "Machine.h"

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--state") == 0) {
        demo::PrintState(argc > 2 ? argv[2] : "now");
        return 0;
    }
    machine::Machine machine;
    if (!demo::Prepare(machine)) {
        std::fprintf(stderr, "demo_machine: the machine could not be prepared\n");
        return 1;
    }
    machine.Keep();
    std::printf("demo_machine: the office PC is ready\n");
    return 0;
}

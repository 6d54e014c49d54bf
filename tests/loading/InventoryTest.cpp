// The inventory against real queues of the bed. What this platform can't
// produce (a refused open, a network connection, the default attribute, a
// silent spooler) comes from the test build of the spooler proxy.
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "SplProxyFaults.h"
#include "engine/Inventory.h"
#include "machine/Machine.h"
#include "script/MessageBox.h"
#include "script/UninstallDatabase.h"
#include "support/JournalCapture.h"
#include "support/WineBed.h"

namespace {

constexpr char kLumenta[] = "QUORVEL Lumenta 2400";
constexpr char kLumentaPs[] = "QUORVEL Lumenta 3100 PS";
constexpr char kOther[] = "Acme LaserWriter 9";

// The files the drivers are installed with, in byte order.
const std::vector<std::string> kLumentaFiles{"LUM24.DLL", "LUM24.GPD", "LUM24UI.DLL"};
const std::vector<std::string> kOtherFiles{"ACME9.DLL", "ACME9.PPD", "ACME9UI.DLL"};

machine::Driver DriverWith(const char* name, const char* driverFile, const char* configFile, const char* dataFile,
                           std::vector<std::string> dependentFiles = {})
{
    machine::Driver driver(name);
    driver.driverFile = driverFile;
    driver.configFile = configFile;
    driver.dataFile = dataFile;
    driver.dependentFiles = std::move(dependentFiles);
    return driver;
}

class InventoryTest : public testing::Test {
protected:
    void SetUp() override
    {
        SplProxyFault_Clear();
        SetMessageAnswerer([this](const char* text, const char* title, UINT) {
            messages.push_back(std::string(title) + "|" + text);
            return IDOK;
        });
        ASSERT_TRUE(machine.InstallDriver(DriverWith(kLumenta, "LUM24.DLL", "LUM24UI.DLL", "LUM24.GPD")));
        // A shared file, a name whose double-byte character ends in the byte
        // of '\\', and the driver file again in other letter case.
        ASSERT_TRUE(machine.InstallDriver(DriverWith(kLumentaPs, "QLPS31.DLL", "QLPS31UI.DLL", "QLPS31.PPD",
                                                     {"QUNIDRV.DLL", "\x95\x5C" "PS.DLL", "qlps31.dll"})));
        ASSERT_TRUE(machine.InstallDriver(DriverWith(kOther, "ACME9.DLL", "ACME9UI.DLL", "ACME9.PPD")));
        ASSERT_TRUE(machine.InstallPrinter({"Lumenta A", kLumenta}));
        ASSERT_TRUE(machine.InstallPrinter({"Lumenta B", kLumenta, true, "", "QRV-0002"}));
        ASSERT_TRUE(machine.InstallPrinter({"Masked C", kLumentaPs, false, "Lumenta A"}));
        ASSERT_TRUE(machine.InstallPrinter({"Plain D", kOther, false}));
    }
    void TearDown() override
    {
        SplProxyFault_Clear();
        SetMessageAnswerer(nullptr);
    }

    std::list<CActivePrinter> Build(const char* commandLine, int* opened = nullptr)
    {
        const SwitchList switches(commandLine);
        InventoryBuild loading(switches, PlatformKind());
        std::list<CActivePrinter> printers;
        const int count = loading.BuildListOfInstalledPrinters(printers);
        if (opened)
            *opened = count;
        lastError = loading.LastInventoryError();
        failed = loading.LastBuildFailed();
        silent = loading.SpoolerSilent();
        notes = loading.KeptPrinterNotes();
        return printers;
    }

    machine::Machine machine;
    std::vector<std::string> messages;
    std::string lastError;
    bool failed = false;
    bool silent = false;
    std::vector<std::string> notes;
};

const CActivePrinter* Find(const std::list<CActivePrinter>& printers, const char* name)
{
    for (const CActivePrinter& p : printers) {
        if (std::string(p.PrinterName) == name)
            return &p;
    }
    return nullptr;
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Offered(const std::list<CActivePrinter>& printers)
{
    std::vector<std::string> names;
    for (const CActivePrinter& p : printers) {
        if (p.IsOffered())
            names.push_back(p.PrinterName);
    }
    return names;
}

} // namespace

TEST_F(InventoryTest, MarkersDriverNamesAndForeignPrinters)
{
    int opened = 0;
    const auto printers = Build("prnuninst.exe", &opened);
    EXPECT_EQ(opened, 4);
    ASSERT_EQ(printers.size(), 4u);

    const CActivePrinter* a = Find(printers, "Lumenta A");
    const CActivePrinter* c = Find(printers, "Masked C");
    const CActivePrinter* d = Find(printers, "Plain D");
    ASSERT_TRUE(a && c && d);
    EXPECT_STREQ(a->DriverName, kLumenta);
    EXPECT_EQ(a->IsMakerDriver, 1u);
    EXPECT_STREQ(a->MaskedName, "");
    EXPECT_EQ(a->Foreign, 0u);

    // Masked by the other product: not the maker's driver, but not foreign.
    EXPECT_EQ(c->IsMakerDriver, 0u);
    EXPECT_STREQ(c->MaskedName, "Lumenta A");
    EXPECT_EQ(c->Foreign, 0u);
    EXPECT_TRUE(c->IsOffered());

    EXPECT_EQ(d->Foreign, 1u);
    EXPECT_FALSE(d->IsOffered());
    EXPECT_EQ(Offered(printers), (std::vector<std::string>{"Lumenta A", "Lumenta B", "Masked C"}));
    for (const CActivePrinter& p : printers) {
        EXPECT_STREQ(p.ServerName, "") << p.PrinterName;
        EXPECT_EQ(p.IsDefault, 0u) << p.PrinterName;
        EXPECT_EQ(p.Skip, 0u) << p.PrinterName;
        EXPECT_EQ(p.Removed, 0u) << p.PrinterName;
    }
}

TEST_F(InventoryTest, EveryPrinterGetsTheFileNamesOfItsDriverAndItsPrintProcessor)
{
    const auto printers = Build("prnuninst.exe");
    ASSERT_EQ(printers.size(), 4u);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(Sorted(Find(printers, "Lumenta A")->DriverFiles), kLumentaFiles);
    EXPECT_EQ(Sorted(Find(printers, "Lumenta B")->DriverFiles), kLumentaFiles);
    EXPECT_EQ(Sorted(Find(printers, "Plain D")->DriverFiles), kOtherFiles) << "a foreign printer too";
    EXPECT_EQ(Sorted(Find(printers, "Masked C")->DriverFiles),
              Sorted({"QLPS31.DLL", "QLPS31UI.DLL", "QLPS31.PPD", "QUNIDRV.DLL", "\x95\x5C" "PS.DLL"}));
    for (const CActivePrinter& p : printers)
        EXPECT_STREQ(p.PrintProcessor, "winprint") << p.PrinterName;
    EXPECT_EQ(SplProxyFault_CallCount("EnumPrinterDriversA"), 2) << "one sized list for the whole build";

    SCOPED_TRACE("no printer, no driver list");
    machine.Clear();
    SplProxyFault_Clear();
    EXPECT_TRUE(Build("prnuninst.exe").empty());
    EXPECT_EQ(SplProxyFault_CallCount("EnumPrinterDriversA"), 0);
}

TEST_F(InventoryTest, PrintersWhoseDriverFilesAreUnknownStayAsTheyAreWithANote)
{
    for (LONG skip : {0, 1}) { // the size query, then the list itself
        SCOPED_TRACE(skip);
        SplProxyFault_Clear();
        SplProxyFault_SetAfter("EnumPrinterDriversA", ERROR_ACCESS_DENIED, skip, -1);
        int opened = 0;
        const auto printers = Build("prnuninst.exe", &opened);
        EXPECT_FALSE(failed) << lastError;
        EXPECT_EQ(opened, 4);
        ASSERT_EQ(printers.size(), 4u);
        EXPECT_EQ(Offered(printers), (std::vector<std::string>{"Lumenta A", "Lumenta B", "Masked C"}));
        for (const CActivePrinter& p : printers) {
            EXPECT_TRUE(p.DriverFiles.empty()) << p.PrinterName;
            EXPECT_STREQ(p.PrintProcessor, "winprint") << p.PrinterName;
        }
        ASSERT_EQ(notes.size(), 4u);
        for (const char* name : {"Lumenta A", "Lumenta B", "Masked C", "Plain D"}) {
            EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&](const std::string& note) {
                return note.find(std::string("\"") + name + "\"") != std::string::npos &&
                       note.find("error 5") != std::string::npos;
            })) << name;
        }
    }

    SCOPED_TRACE("a driver the list does not hold");
    SplProxyFault_Clear();
    SplProxyFault_SetDriverName("Lumenta A", "QUORVEL Phantom 1");
    const auto printers = Build("prnuninst.exe");
    EXPECT_FALSE(failed) << lastError;
    ASSERT_TRUE(Find(printers, "Lumenta A"));
    EXPECT_STREQ(Find(printers, "Lumenta A")->DriverName, "QUORVEL Phantom 1");
    EXPECT_TRUE(Find(printers, "Lumenta A")->DriverFiles.empty());
    EXPECT_EQ(Sorted(Find(printers, "Lumenta B")->DriverFiles), kLumentaFiles);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("\"Lumenta A\""), std::string::npos) << notes[0];
    EXPECT_NE(notes[0].find("QUORVEL Phantom 1"), std::string::npos) << notes[0];
}

TEST_F(InventoryTest, DefaultPrinterByProfileEntryAndByAttribute)
{
    ASSERT_TRUE(machine.MakeDefault("Lumenta B"));
    auto printers = Build("prnuninst.exe");
    ASSERT_TRUE(Find(printers, "Lumenta B"));
    EXPECT_EQ(Find(printers, "Lumenta B")->IsDefault, 1u);
    EXPECT_EQ(Find(printers, "Lumenta A")->IsDefault, 0u);

    SplProxyFault_AddAttributes("Lumenta A", PRINTER_ATTRIBUTE_DEFAULT);
    printers = Build("prnuninst.exe");
    EXPECT_EQ(Find(printers, "Lumenta A")->IsDefault, 1u);
    EXPECT_EQ(Find(printers, "Masked C")->IsDefault, 0u);
}

TEST_F(InventoryTest, ANetworkConnectionGetsItsServerName)
{
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &length));
    SplProxyFault_SetServerName("Lumenta A", "\\\\PRINTSRV");
    // This computer's own name, in other letter case, is no server.
    std::string own = computer;
    for (char& ch : own)
        ch = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
    SplProxyFault_SetServerName("Lumenta B", own.c_str());

    const auto printers = Build("prnuninst.exe");
    EXPECT_STREQ(Find(printers, "Lumenta A")->ServerName, "\\\\PRINTSRV");
    EXPECT_STREQ(Find(printers, "Lumenta B")->ServerName, "");
    EXPECT_STREQ(Find(printers, "Masked C")->ServerName, "");
}

TEST_F(InventoryTest, UnopenableAndUnreadablePrintersStayWithTheirDriversAndAreNeverOffered)
{
    SplProxyFault_DenyPrinter("lumenta b", ERROR_ACCESS_DENIED);
    // The first record read is Lumenta A's, the first printer listed.
    SplProxyFault_Set("GetPrinterA", ERROR_INVALID_HANDLE, 1);
    int opened = 0;
    std::optional<JournalCapture> journal(std::in_place);
    const auto printers = Build("prnuninst.exe", &opened);
    EXPECT_FALSE(failed) << lastError;
    EXPECT_EQ(opened, 4);
    ASSERT_EQ(printers.size(), 4u);
    for (const char* name : {"Lumenta A", "Lumenta B"}) {
        SCOPED_TRACE(name);
        const CActivePrinter* kept = Find(printers, name);
        ASSERT_TRUE(kept);
        EXPECT_STREQ(kept->DriverName, kLumenta);
        EXPECT_EQ(kept->Skip, 1u);
        EXPECT_EQ(kept->Offered, 0u);
        EXPECT_EQ(kept->Foreign, 0u);
        EXPECT_EQ(kept->IsMakerDriver, 0u);
        EXPECT_STREQ(kept->MaskedName, "");
        EXPECT_EQ(Sorted(kept->DriverFiles), kLumentaFiles);
        EXPECT_STREQ(kept->PrintProcessor, "winprint");
    }
    EXPECT_EQ(Offered(printers), (std::vector<std::string>{"Masked C"}));
    // Both drivers' names came from one level-2 enumeration.
    EXPECT_EQ(SplProxyFault_CallCount("EnumPrintersA"), 2 + 2);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find("Lumenta A"), std::string::npos) << notes[0];
    EXPECT_NE(notes[0].find("GetPrinter"), std::string::npos) << notes[0];
    EXPECT_NE(notes[0].find("error 6"), std::string::npos) << notes[0];
    EXPECT_NE(notes[1].find("Lumenta B"), std::string::npos) << notes[1];
    EXPECT_NE(notes[1].find("OpenPrinter"), std::string::npos) << notes[1];
    EXPECT_NE(notes[1].find("error 5"), std::string::npos) << notes[1];
    const auto keptLine = [&](const char* printer, const char* reason) {
        const std::vector<JournalCapture::Line> lines = journal->Of("printer", printer);
        ASSERT_EQ(lines.size(), 1u) << journal->Dump();
        EXPECT_EQ(lines[0].result, journal::Outcome::Kept);
        EXPECT_EQ(lines[0].reason, reason);
    };
    keptLine("Lumenta A", "could not be read: GetPrinter failed (error 6)");
    keptLine("Lumenta B", "could not be read: OpenPrinter failed (error 5)");
    EXPECT_EQ(journal->lines.size(), 2u) << journal->Dump();

    SCOPED_TRACE("their driver's files and the maker's common items stay when the others go");
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), "[UnPrinterDrivers]\r\n\"QUORVEL Lumenta 2400\",L,3\r\n"
                                                              "[L.Files]\r\nQL2400.DLL\r\n"));
    UninstallDatabase database;
    ASSERT_TRUE(ReadScript(database, (machine::DriverDirectory() + "Xrmv___Q.unm").c_str()));
    FillBaseWorkList(database, database.BaseWorkList);
    database.Printers = printers;
    BuildDatabase(database);
    EXPECT_TRUE(database.Merged.Files.empty()) << database.Merged.Files.front();

    SCOPED_TRACE("no second enumeration when every record reads");
    SplProxyFault_Clear();
    journal.emplace();
    Build("prnuninst.exe", &opened);
    EXPECT_EQ(opened, 4);
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(SplProxyFault_CallCount("EnumPrintersA"), 2);
    EXPECT_TRUE(journal->lines.empty()) << journal->Dump();

    SCOPED_TRACE("a maker's printer whose marker can't be read stays as another maker's");
    SplProxyFault_Set("GetPrinterDataA", ERROR_ACCESS_DENIED, -1);
    journal.emplace();
    const auto unmarked = Build("prnuninst.exe", &opened);
    SplProxyFault_Clear();
    ASSERT_TRUE(Find(unmarked, "Lumenta A"));
    EXPECT_EQ(Find(unmarked, "Lumenta A")->Foreign, 1u);
    keptLine("Lumenta A", "could not be read: GetPrinterData QuorvelDriver_Q failed (error 5)");
}

TEST_F(InventoryTest, CommandLineFilters)
{
    SCOPED_TRACE("MFG: driver-name prefixes, case ignored");
    auto printers = Build("prnuninst.exe /mfg:quorvel");
    EXPECT_EQ(Offered(printers), (std::vector<std::string>{"Lumenta A", "Lumenta B", "Masked C"}));
    printers = Build("prnuninst.exe /MFG:Acme,\"QUORVEL Lumenta 3\"");
    EXPECT_EQ(Offered(printers), (std::vector<std::string>{"Masked C"}));
    EXPECT_EQ(Find(printers, "Lumenta A")->Skip, 1u);
    EXPECT_EQ(Find(printers, "Lumenta A")->Offered, 0u);
    EXPECT_EQ(Find(printers, "Masked C")->Skip, 0u);

    SCOPED_TRACE("PRN: whole driver names, quotes stripped");
    printers = Build("prnuninst.exe -prn:\"quorvel lumenta 2400\"");
    EXPECT_EQ(Offered(printers), (std::vector<std::string>{"Lumenta A", "Lumenta B"}));
    printers = Build("prnuninst.exe /PRN:QUORVEL");
    EXPECT_TRUE(Offered(printers).empty());

    SCOPED_TRACE("MFG or PRN");
    printers = Build("prnuninst.exe /PRN:\"QUORVEL Lumenta 3100 PS\" /MFG:QUORVEL Lumenta 24");
    EXPECT_EQ(Offered(printers), (std::vector<std::string>{"Lumenta A", "Lumenta B", "Masked C"}));

    SCOPED_TRACE("UNVELT: masked printers only, whatever MFG and PRN say");
    printers = Build("prnuninst.exe /UNVELT /PRN:\"QUORVEL Lumenta 2400\"");
    EXPECT_EQ(Offered(printers), (std::vector<std::string>{"Masked C"}));

    SCOPED_TRACE("values that overflow the 256-byte buffer match nothing");
    const std::string longValue(200, 'Q');
    printers = Build(("prnuninst.exe /MFG:QUORVEL," + longValue + "," + longValue).c_str());
    EXPECT_TRUE(Offered(printers).empty());

    SCOPED_TRACE("a foreign printer is never offered");
    printers = Build("prnuninst.exe /MFG:Acme");
    EXPECT_TRUE(Offered(printers).empty());
    EXPECT_EQ(Find(printers, "Plain D")->Foreign, 1u);
}

TEST_F(InventoryTest, ASilentSpoolerIsToldApartFromOtherFailures)
{
    SplProxyFault_Set("EnumPrintersA", RPC_S_SERVER_UNAVAILABLE, -1);
    int opened = -1;
    const auto printers = Build("prnuninst.exe", &opened);
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(printers.empty());
    EXPECT_TRUE(silent);
    EXPECT_TRUE(messages.empty()) << "the loading tells";

    SCOPED_TRACE("any other error fails the build; the loading tells");
    for (LONG skip : {0, 1}) { // the size query, then the enumeration itself
        messages.clear();
        SplProxyFault_Clear();
        SplProxyFault_SetAfter("EnumPrintersA", ERROR_ACCESS_DENIED, skip, -1);
        EXPECT_TRUE(Build("prnuninst.exe", &opened).empty());
        EXPECT_EQ(opened, 0);
        EXPECT_TRUE(failed) << skip;
        EXPECT_FALSE(silent) << skip;
        EXPECT_NE(lastError.find("Function: EnumPrinters \nLast Error Code: 5 \n"), std::string::npos) << lastError;
        EXPECT_TRUE(messages.empty());
    }
}

TEST_F(InventoryTest, APrinterWhoseDriverNoCallNamesFailsTheBuildAndTheTextNamesIt)
{
    SplProxyFault_DenyPrinter("Lumenta B", ERROR_ACCESS_DENIED);
    SplProxyFault_SetDriverName("Lumenta B", "");
    int opened = -1;
    Build("prnuninst.exe", &opened);
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(lastError.rfind("CLoadingDlg::BuildListOfInstalledPrinters failed \nFunction: OpenPrinter \n"
                              "Last Error Code: 5 \n",
                              0),
              0u)
        << lastError;
    EXPECT_NE(lastError.find(" \nPrinter: Lumenta B"), std::string::npos) << lastError;
    EXPECT_TRUE(messages.empty());

    SCOPED_TRACE("a record without a driver name, and the level-2 list without one either");
    SplProxyFault_Clear();
    SplProxyFault_SetDriverName("Masked C", "");
    Build("prnuninst.exe", &opened);
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(failed);
    EXPECT_NE(lastError.find("Function: GetPrinter \n"), std::string::npos) << lastError;
    EXPECT_NE(lastError.find(" \nPrinter: Masked C"), std::string::npos) << lastError;

    SCOPED_TRACE("the level-2 enumeration fails");
    SplProxyFault_Clear();
    SplProxyFault_Set("GetPrinterA", ERROR_INVALID_HANDLE, -1);
    SplProxyFault_SetAfter("EnumPrintersA", ERROR_NOT_ENOUGH_MEMORY, 2, -1);
    Build("prnuninst.exe", &opened);
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(failed);
    EXPECT_NE(lastError.find("Function: EnumPrinters \nLast Error Code: 8 \n"), std::string::npos) << lastError;
    EXPECT_NE(lastError.find(" \nPrinter: Lumenta A"), std::string::npos) << lastError;
}

TEST_F(InventoryTest, OlderPlatformsEnumerateAtTheirLevels)
{
    SCOPED_TRACE("Windows 9x: level 5");
    OSVERSIONINFOA v{sizeof v, 4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS, ""};
    const SwitchList switches("prnuninst.exe");
    InventoryBuild win9x(switches, PlatformKind(&v));
    std::list<CActivePrinter> printers;
    EXPECT_EQ(win9x.BuildListOfInstalledPrinters(printers), 4);
    EXPECT_EQ(Offered(printers), (std::vector<std::string>{"Lumenta A", "Lumenta B", "Masked C"}));

    SCOPED_TRACE("Win32s: level 2, every printer counts as the maker's, no server names");
    SplProxyFault_SetServerName("Lumenta A", "\\\\PRINTSRV");
    OSVERSIONINFOA w{sizeof w, 3, 11, 0, VER_PLATFORM_WIN32s, ""};
    InventoryBuild win32s(switches, PlatformKind(&w));
    printers.clear();
    EXPECT_EQ(win32s.BuildListOfInstalledPrinters(printers), 4);
    for (const CActivePrinter& p : printers) {
        EXPECT_EQ(p.IsMakerDriver, 1u) << p.PrinterName;
        EXPECT_STREQ(p.ServerName, "") << p.PrinterName;
    }
}

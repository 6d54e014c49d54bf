// What a removal must leave to the printers that stay, run as an
// administrator runs the program: two queues of one model, each on a
// driver of its own, print through one USB device.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/Runs.h"
#include "machine/Machine.h"
#include "support/PhantomDevices.h"
#include "support/WineBed.h"

using namespace e2e;

namespace {

constexpr char kTwoDrivers[] = "[UnPrinterDrivers]\r\n"
                               "\"QUORVEL Lumenta 2400\",LumPcl,3\r\n"
                               "\"QUORVEL Lumenta 2400 PS\",LumPs,3\r\n";

// The default script beside the program names the model's USB device;
// gone again when the test ends.
struct DefaultScriptStrings {
    DefaultScriptStrings()
    {
        bed::WriteFile(path, "[Strings]\r\nHARDWARE_ID_1=USBPRINT\\QUORVELLUMENTA_2400\r\n"
                             "USB_VID=6699\r\nUSB_PID=195\r\n");
    }
    ~DefaultScriptStrings() { DeleteFileA(path.c_str()); }
    const std::string path = bed::Deliverable("Xrmv___Q.unm");
};

} // namespace

// There are no USB ports on this platform: USB001 is made a local port for
// the queues, and the device is a phantom one that publishes the port under
// its parameters, as the USB printer class driver does.
TEST(Keep, TheUsbDeviceOfAModelStaysWhileAQueueOnItsPortDoes)
{
    machine::Machine machine;
    machine::Printer pcl("Lumenta A", "QUORVEL Lumenta 2400");
    machine::Printer ps("Lumenta B", "QUORVEL Lumenta 2400 PS");
    pcl.port = ps.port = "USB001";
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kTwoDrivers) && machine.InstallPrinter(pcl) &&
                machine.InstallPrinter(ps));
    bed::Devices devices;
    const std::string device = devices.Make({"USBPRINT\\QUORVELLUMENTA_2400A1B2"}, "USB001");
    ASSERT_FALSE(device.empty());
    const DefaultScriptStrings strings;
    LogFileOnC log("keep-device.log");

    EXPECT_EQ(RunProgram("/QUIET /PRN:\"QUORVEL Lumenta 2400\" " + log.Switch()), 0);

    EXPECT_FALSE(Listed("Lumenta A"));
    ASSERT_TRUE(Listed("Lumenta B"));
    EXPECT_TRUE(devices.Present(device)) << "the device of a queue that stays";
    EXPECT_TRUE(Logged(ReadLog(log.path), "device", device,
                       "kept (printer \"Lumenta B\" prints through its port USB001)"))
        << Content(log.path);

    SCOPED_TRACE("the last queue on the port goes");
    LogFileOnC last("keep-device-last.log");
    EXPECT_EQ(RunProgram("/QUIET " + last.Switch()), 0);
    EXPECT_FALSE(Listed("Lumenta B"));
    EXPECT_FALSE(devices.Present(device));
    EXPECT_TRUE(Logged(ReadLog(last.path), "device", device, "removed")) << Content(last.path);
}

namespace {

// The maker's folder recorded without its closing backslash, inside the
// users' public documents, beside another program's folder holding a file
// of a listed name and a user's empty folders; and the public documents
// themselves recorded by a careless installer.
struct FoldersBesideTheMakers {
    FoldersBesideTheMakers()
    {
        for (const std::string& folder : {maker, maker + "\\Sub", maker + "\\Empty", other, user, user + "\\Q1"})
            CreateDirectoryA(folder.c_str(), nullptr);
        for (const std::string& file : {maker + "\\README.TXT", maker + "\\Sub\\README.TXT", other + "\\readme.txt"})
            bed::WriteFile(file, "x");
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kOemPaths, "Docs", REG_SZ, maker.c_str(),
                        static_cast<DWORD>(maker.size() + 1));
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kOemPaths, "Careless", REG_SZ, documents.c_str(),
                        static_cast<DWORD>(documents.size() + 1));
    }
    ~FoldersBesideTheMakers()
    {
        for (const std::string& file : {maker + "\\README.TXT", maker + "\\Sub\\README.TXT", other + "\\readme.txt"})
            DeleteFileA(file.c_str());
        for (const std::string& folder : {maker + "\\Sub", maker + "\\Empty", maker, other, user + "\\Q1", user})
            RemoveDirectoryA(folder.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\OEM_Q");
    }
    FoldersBesideTheMakers(const FoldersBesideTheMakers&) = delete;
    FoldersBesideTheMakers& operator=(const FoldersBesideTheMakers&) = delete;

    static constexpr char kOemPaths[] = "SOFTWARE\\QUORVEL\\OEM_Q\\OEMPaths";
    const std::string documents = "C:\\users\\Public\\Documents";
    const std::string maker = documents + "\\Quorvel";
    const std::string other = documents + "\\OtherApp";
    const std::string user = documents + "\\Projects2025";
};

constexpr char kReadmeScript[] = "[UnPrinterDrivers]\r\n"
                                 "\"QUORVEL Lumenta 2400\",LumPcl,3\r\n"
                                 "[LumPcl.Files]\r\nREADME.TXT\r\n";

} // namespace

TEST(Keep, TheSweepOfTheMakersFolderTakesItsOwnFilesAndNothingBesideOrAbove)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kReadmeScript) &&
                machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}));
    const FoldersBesideTheMakers folders;
    ASSERT_TRUE(Exists(folders.user + "\\Q1"));
    LogFileOnC log("keep-folders.log");

    EXPECT_EQ(RunProgram("/QUIET " + log.Switch()), 0);

    const std::vector<LogLine> lines = ReadLog(log.path);
    EXPECT_FALSE(Exists(folders.maker + "\\README.TXT"));
    EXPECT_FALSE(Exists(folders.maker + "\\Sub")) << "emptied by the sweep";
    EXPECT_TRUE(Exists(folders.maker + "\\Empty")) << "empty before: somebody's";
    EXPECT_TRUE(Exists(folders.other + "\\readme.txt")) << Content(log.path);
    EXPECT_TRUE(Exists(folders.user + "\\Q1"));
    EXPECT_TRUE(Exists(folders.documents));
    EXPECT_TRUE(Logged(lines, "folder", folders.documents + "\\", "kept (a shell folder)")) << Content(log.path);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const LogLine& line) { return line.item == folders.documents + "\\"; }),
              1)
        << "told once, though the restart program's pass looks there too";
}

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

namespace {

// Model 2400 goes, model 3100 stays; both packages put files and keys on
// the 64-bit and the 32-bit side.
constexpr char kTwoViewsScript[] = "[UnPrinterDrivers]\r\n"
                                   "\"QUORVEL Lumenta 2400\",Lum2400,3\r\n"
                                   "\"QUORVEL Lumenta 3100\",Lum3100,3\r\n"
                                   "[Lum2400.Files]\r\nQLWOW.DLL\r\nQLBOTH.DLL\r\n"
                                   "[Lum2400.RegistryKeys]\r\nHKLM,\"SOFTWARE\\QUORVEL\\E2eWow\",,1\r\n"
                                   "HKLM,\"SOFTWARE\\QUORVEL\\E2eBoth\",,1\r\n"
                                   "[Lum3100.Files]\r\nQLBOTH.DLL\r\n"
                                   "[Lum3100.RegistryKeys]\r\nHKLM,\"SOFTWARE\\QUORVEL\\E2eBoth\",,1\r\n";

bool KeyThere(const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void MakeKeyOf(const char* path)
{
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (key)
        RegCloseKey(key);
}

} // namespace

// A package's 32-bit utilities write to SysWOW64 and to the registry's
// 32-bit side: what the scripts name goes from there too, and what the
// printer that stays still needs stays on both sides.
TEST(Keep, The32BitSideGoesWithThe64BitOneAndWhatAStayingPrinterNeedsStaysOnBoth)
{
    machine::Machine machine;
    ASSERT_TRUE(machine.PutScript(machine::DriverDirectory(), kTwoViewsScript) &&
                machine.InstallPrinter({"Lumenta A", "QUORVEL Lumenta 2400"}) &&
                machine.InstallPrinter({"Lumenta C", "QUORVEL Lumenta 3100"}));
    const std::string system = e2e::Folder(CSIDL_SYSTEM);
    const std::string wow64 = e2e::Folder(CSIDL_SYSTEMX86);
    ASSERT_NE(system, wow64);
    for (const std::string& file : {wow64 + "QLWOW.DLL", system + "QLBOTH.DLL", wow64 + "QLBOTH.DLL"})
        ASSERT_TRUE(bed::WriteFile(file, "MZ")) << file;
    for (const char* key : {"SOFTWARE\\QUORVEL\\E2eWow", "SOFTWARE\\Wow6432Node\\QUORVEL\\E2eWow\\Sub",
                            "SOFTWARE\\QUORVEL\\E2eBoth", "SOFTWARE\\Wow6432Node\\QUORVEL\\E2eBoth"})
        MakeKeyOf(key);
    LogFileOnC dry("keep-views-whatif.log");
    LogFileOnC log("keep-views.log");

    EXPECT_EQ(RunProgram("/WHATIF /PRN:\"QUORVEL Lumenta 2400\" " + dry.Switch()), 0);
    EXPECT_TRUE(Exists(wow64 + "QLWOW.DLL"));
    EXPECT_TRUE(KeyThere("SOFTWARE\\Wow6432Node\\QUORVEL\\E2eWow"));
    const std::vector<LogLine> foreseen = ReadLog(dry.path);
    EXPECT_TRUE(Logged(foreseen, "registry key", "HKLM\\SOFTWARE\\Wow6432Node\\QUORVEL\\E2eWow", "would remove"))
        << Content(dry.path);

    EXPECT_EQ(RunProgram("/QUIET /PRN:\"QUORVEL Lumenta 2400\" " + log.Switch()), 0) << Content(log.path);

    ASSERT_TRUE(Listed("Lumenta C"));
    EXPECT_FALSE(Exists(wow64 + "QLWOW.DLL")) << Content(log.path);
    EXPECT_FALSE(KeyThere("SOFTWARE\\Wow6432Node\\QUORVEL\\E2eWow")) << Content(log.path);
    EXPECT_FALSE(KeyThere("SOFTWARE\\QUORVEL\\E2eWow"));
    EXPECT_TRUE(Exists(system + "QLBOTH.DLL"));
    EXPECT_TRUE(Exists(wow64 + "QLBOTH.DLL"));
    EXPECT_TRUE(KeyThere("SOFTWARE\\QUORVEL\\E2eBoth"));
    EXPECT_TRUE(KeyThere("SOFTWARE\\Wow6432Node\\QUORVEL\\E2eBoth"));
    EXPECT_TRUE(Logged(ReadLog(log.path), "registry key", "HKLM\\SOFTWARE\\Wow6432Node\\QUORVEL\\E2eWow", "removed"))
        << Content(log.path);

    for (const std::string& file : {wow64 + "QLWOW.DLL", system + "QLBOTH.DLL", wow64 + "QLBOTH.DLL"})
        DeleteFileA(file.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\QUORVEL");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\E2eBoth");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QUORVEL\\E2eWow");
}

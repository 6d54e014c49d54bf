// USB printer devices: phantom devices made in the bed, found by their
// hardware identifiers and removed. A device made without hardware has no
// parent or child on this platform (CM_Get_Parent answers 13), so the
// parent and child cases give the device tree's links themselves.
#include <gtest/gtest.h>

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "door/RealDoor.h"
#include "support/PhantomDevices.h"
#include "system/UsbDevice.h"

namespace {

// The tree the tests lay out: a device's parent and first child, by
// instance identifier.
bed::Devices* devices = nullptr;
std::map<std::string, std::string> parents;

bool Linked(const std::map<std::string, std::string>& links, DEVINST node, DeviceNode& out)
{
    char instance[MAX_DEVICE_ID_LEN] = {};
    if (CM_Get_Device_IDA(node, instance, sizeof instance, 0) != CR_SUCCESS)
        return false;
    for (const auto& [from, to] : links) {
        if (lstrcmpiA(from.c_str(), instance) == 0) {
            lstrcpynA(out.InstanceId, to.c_str(), sizeof out.InstanceId);
            lstrcpynA(out.HardwareIds, devices->FirstHardwareId(to).c_str(), sizeof out.HardwareIds - 1);
            return true;
        }
    }
    return false;
}
bool TestParent(DEVINST node, DeviceNode& parent) { return Linked(parents, node, parent); }
const DeviceTree kTestTree{TestParent};

class UsbDeviceTest : public testing::Test {
protected:
    void SetUp() override { devices = &made; }
    void TearDown() override
    {
        SetDeviceTree(nullptr);
        parents.clear();
        devices = nullptr;
    }
    void UseTree()
    {
        SetDeviceTree(&kTestTree);
    }

    bed::Devices made;
    RealDoor door;
    const DeviceKeepRule nothingStays = [](const char*) { return std::string(); };
};

TEST_F(UsbDeviceTest, MatchingPhantomDeviceIsRemoved)
{
    const std::string printer = made.Make({"ROOT\\QUORVEL", "USBPRINT\\QUORVELLUMENTA_24A1B2"});
    const std::string lower = made.Make({"usbprint\\QUORVELLUMENTA_24A1B2"});
    const std::string other = made.Make({"USBPRINT\\QUORVELLUMENTA_31"});
    ASSERT_FALSE(printer.empty());
    ASSERT_TRUE(made.Present(printer));

    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELLUMENTA_24", 0x1A2B, 0x00C3, nothingStays);

    EXPECT_FALSE(made.Present(printer)) << "any of its identifiers, by its beginning";
    EXPECT_TRUE(made.Present(lower)) << "letter case counts";
    EXPECT_TRUE(made.Present(other));
}

TEST_F(UsbDeviceTest, PrinterDeviceGoesWithItsUsbParentOnly)
{
    const std::string usb = made.Make({"USB\\VID_1A2B&PID_00C3&REV_0100", "USB\\VID_1A2B&PID_00C3"});
    const std::string printer = made.Make({"USBPRINT\\QUORVELLUMENTA_24A1B2"});
    const std::string hub = made.Make({"ROOT\\QUORVELHUB"});
    const std::string printer2 = made.Make({"USBPRINT\\QUORVELLUMENTA_55"});
    ASSERT_FALSE(printer2.empty());
    parents = {{printer, usb}, {printer2, hub}};
    UseTree();

    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELLUMENTA_24", 0, 0, nothingStays);
    EXPECT_FALSE(made.Present(printer));
    EXPECT_FALSE(made.Present(usb));

    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELLUMENTA_55", 0, 0, nothingStays);
    EXPECT_FALSE(made.Present(printer2));
    EXPECT_TRUE(made.Present(hub)) << "a parent that is not a USB device stays";
}

TEST_F(UsbDeviceTest, UsbDeviceTakesItsPrinterChildAlong)
{
    const std::string usb = made.Make({"USB\\VID_1A2B&PID_00C3&REV_0100"});
    const std::string printer = made.Make({"USBPRINT\\QUORVELLUMENTA_24A1B2"});
    const std::string alone = made.Make({"USB\\VID_1A2B&PID_00C4"});
    ASSERT_FALSE(alone.empty());
    parents = {{printer, usb}};
    UseTree();

    RemoveUsbPrinterDevice(door, "USB\\VID_1A2B&PID_00C3", 0, 0, nothingStays);
    EXPECT_FALSE(made.Present(printer));
    EXPECT_FALSE(made.Present(usb));
    EXPECT_TRUE(made.Present(alone));

    RemoveUsbPrinterDevice(door, "USB\\VID_1A2B&PID_00C4", 0, 0, nothingStays);
    EXPECT_FALSE(made.Present(alone)) << "a USB device without a printer below it goes itself";
}

TEST_F(UsbDeviceTest, IdentifierThatMatchesNothingFallsBackToVendorAndProduct)
{
    const std::string usb = made.Make({"USB\\VID_0A1B&PID_002C&REV_0001"});
    const std::string other = made.Make({"USB\\VID_0A1B&PID_002D"});
    ASSERT_FALSE(other.empty());

    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELNOSUCH", 0x0A1B, 0x002C, nothingStays);
    EXPECT_FALSE(made.Present(usb));
    EXPECT_TRUE(made.Present(other));

    // Nothing matches the fallback either: one more search, then the end.
    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELNOSUCH", 0x0A1B, 0x0FFF, nothingStays);
    EXPECT_TRUE(made.Present(other));
}

TEST_F(UsbDeviceTest, AnIdentifierShorterThanOneProductRemovesNothing)
{
    const std::string hub = made.Make({"USB\\ROOT_HUB20&VID8086&PID2934"});
    const std::string sibling = made.Make({"USB\\VID_0A1B&PID_002C3&REV_0001"});
    const std::string printer = made.Make({"USBPRINT\\QUORVELLUMENTA_2400C8A1"});
    ASSERT_FALSE(printer.empty());

    RemoveUsbPrinterDevice(door, "USB", 0, 0, nothingStays);
    RemoveUsbPrinterDevice(door, "USB\\VID_0A1B", 0, 0, nothingStays);
    RemoveUsbPrinterDevice(door, "USBPRINT\\", 0, 0, nothingStays);
    // A product number is matched whole: 002C is not 002C3.
    RemoveUsbPrinterDevice(door, "USB\\VID_0A1B&PID_002C", 0, 0, nothingStays);
    EXPECT_TRUE(made.Present(hub));
    EXPECT_TRUE(made.Present(sibling));
    EXPECT_TRUE(made.Present(printer));
}

} // namespace

// A printer device stays when the rule finds a queue on the port it
// publishes, or when it publishes none and the rule says so; the USB device
// it hangs on stays with it. The ports are read as Windows keeps them, under
// each device's parameters.
TEST_F(UsbDeviceTest, APrinterDeviceThatAQueueStillUsesStaysWithItsUsbParent)
{
    const std::string usb = made.Make({"USB\\VID_1A2B&PID_00C3"});
    const std::string used = made.Make({"USBPRINT\\QUORVELLUMENTA_24A1B2"}, "USB001");
    const std::string unused = made.Make({"USBPRINT\\QUORVELLUMENTA_24A1B2"}, "USB002");
    const std::string silent = made.Make({"USBPRINT\\QUORVELLUMENTA_24A1B2"});
    const std::string usb2 = made.Make({"USB\\VID_1A2B&PID_00C3"});
    // A second printer device on the USB device of the one that stays.
    const std::string sibling = made.Make({"USBPRINT\\QUORVELLUMENTA_24A1B2"}, "USB002");
    ASSERT_FALSE(sibling.empty());
    parents = {{used, usb}, {unused, usb2}, {sibling, usb}};
    UseTree();
    std::vector<std::string> asked;
    const DeviceKeepRule keep = [&](const char* port) {
        asked.emplace_back(port);
        return std::string(port) == "USB002" ? std::string() : std::string("in use");
    };

    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELLUMENTA_24", 0, 0, keep);

    EXPECT_TRUE(made.Present(used));
    EXPECT_TRUE(made.Present(usb)) << "the USB device of a printer device that stays";
    EXPECT_FALSE(made.Present(unused));
    EXPECT_FALSE(made.Present(usb2));
    EXPECT_TRUE(made.Present(silent)) << "no port to tell by";
    EXPECT_FALSE(made.Present(sibling));
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"", "USB001", "USB002", "USB002"}));

    SCOPED_TRACE("a composite USB device: the printer hangs on one of its interfaces");
    const std::string root = made.Make({"USB\\VID_1A2B&PID_00C5&REV_0100"});
    const std::string scanner = made.Make({"USB\\VID_1A2B&PID_00C5&MI_00"});
    const std::string printerPart = made.Make({"USB\\VID_1A2B&PID_00C5&MI_01"});
    const std::string printer = made.Make({"USBPRINT\\QUORVELLUMENTA_55C5"}, "USB001");
    ASSERT_FALSE(printer.empty());
    parents = {{scanner, root}, {printerPart, root}, {printer, printerPart}};
    RemoveUsbPrinterDevice(door, "USB\\VID_1A2B&PID_00C5", 0, 0, keep);
    EXPECT_TRUE(made.Present(printer));
    EXPECT_TRUE(made.Present(printerPart));
    EXPECT_TRUE(made.Present(root)) << "it would take the printer that stays with it";
}

// USB printer devices: phantom devices made in the bed, found by their
// hardware identifiers and removed. A device made without hardware has no
// parent or child on this platform (CM_Get_Parent answers 13), so the
// parent and child cases give the device tree's links themselves.
#include <gtest/gtest.h>

#include <windows.h>
#include <setupapi.h>

#include <map>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "door/RealDoor.h"
#include "system/UsbDevice.h"

namespace {

const GUID kPrinterClass = {0x4d36e979, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// Phantom devices of the printer class, each with its hardware identifiers;
// every one still there goes with the object.
class Devices {
public:
    ~Devices()
    {
        for (const std::string& id : made_)
            Remove(id);
    }

    // The new device's instance identifier; empty when it couldn't be made.
    std::string Make(const std::vector<std::string>& hardwareIds)
    {
        DeviceInfoSet set(SetupDiCreateDeviceInfoList(&kPrinterClass, nullptr));
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!set || !SetupDiCreateDeviceInfoA(set.Get(), "QUORVELPRN", &kPrinterClass, nullptr, nullptr,
                                              DICD_GENERATE_ID, &device))
            return {};
        std::string list;
        for (const std::string& id : hardwareIds)
            list.append(id).push_back('\0');
        list.push_back('\0');
        char instance[MAX_DEVICE_ID_LEN] = {};
        if (!SetupDiSetDeviceRegistryPropertyA(set.Get(), &device, SPDRP_HARDWAREID,
                                               reinterpret_cast<const BYTE*>(list.data()),
                                               static_cast<DWORD>(list.size())) ||
            !SetupDiRegisterDeviceInfo(set.Get(), &device, 0, nullptr, nullptr, nullptr) ||
            !SetupDiGetDeviceInstanceIdA(set.Get(), &device, instance, sizeof instance, nullptr))
            return {};
        made_.push_back(instance);
        hardwareIds_[instance] = hardwareIds.front();
        return instance;
    }

    bool Present(const std::string& instanceId) const { return Find(instanceId, false); }
    void Remove(const std::string& instanceId) const { Find(instanceId, true); }
    const std::string& FirstHardwareId(const std::string& instanceId) { return hardwareIds_[instanceId]; }

private:
    bool Find(const std::string& instanceId, bool remove) const
    {
        DeviceInfoSet set(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
        for (DWORD i = 0; set; ++i) {
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof device;
            if (!SetupDiEnumDeviceInfo(set.Get(), i, &device))
                break;
            char instance[MAX_DEVICE_ID_LEN] = {};
            if (SetupDiGetDeviceInstanceIdA(set.Get(), &device, instance, sizeof instance, nullptr) &&
                lstrcmpiA(instance, instanceId.c_str()) == 0) {
                if (remove)
                    SetupDiRemoveDevice(set.Get(), &device);
                return true;
            }
        }
        return false;
    }

    std::vector<std::string> made_;
    std::map<std::string, std::string> hardwareIds_;
};

// The tree the tests lay out: a device's parent and first child, by
// instance identifier.
Devices* devices = nullptr;
std::map<std::string, std::string> parents;
std::map<std::string, std::string> children;

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
bool TestChild(DEVINST node, DeviceNode& child) { return Linked(children, node, child); }
const DeviceTree kTestTree{TestParent, TestChild};

class UsbDeviceTest : public testing::Test {
protected:
    void SetUp() override { devices = &made; }
    void TearDown() override
    {
        SetDeviceTree(nullptr);
        parents.clear();
        children.clear();
        devices = nullptr;
    }
    void UseTree()
    {
        SetDeviceTree(&kTestTree);
    }

    Devices made;
    RealDoor door;
};

TEST_F(UsbDeviceTest, MatchingPhantomDeviceIsRemoved)
{
    const std::string printer = made.Make({"ROOT\\QUORVEL", "USBPRINT\\QUORVELLUMENTA_24A1B2"});
    const std::string lower = made.Make({"usbprint\\QUORVELLUMENTA_24A1B2"});
    const std::string other = made.Make({"USBPRINT\\QUORVELLUMENTA_31"});
    ASSERT_FALSE(printer.empty());
    ASSERT_TRUE(made.Present(printer));

    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELLUMENTA_24", 0x1A2B, 0x00C3);

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

    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELLUMENTA_24", 0, 0);
    EXPECT_FALSE(made.Present(printer));
    EXPECT_FALSE(made.Present(usb));

    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELLUMENTA_55", 0, 0);
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
    children = {{usb, printer}};
    UseTree();

    RemoveUsbPrinterDevice(door, "USB\\VID_1A2B&PID_00C3", 0, 0);
    EXPECT_FALSE(made.Present(printer));
    EXPECT_FALSE(made.Present(usb));
    EXPECT_TRUE(made.Present(alone));

    RemoveUsbPrinterDevice(door, "USB\\VID_1A2B&PID_00C4", 0, 0);
    EXPECT_FALSE(made.Present(alone)) << "a USB device without a printer below it goes itself";
}

TEST_F(UsbDeviceTest, IdentifierThatMatchesNothingFallsBackToVendorAndProduct)
{
    const std::string usb = made.Make({"USB\\VID_0A1B&PID_002C&REV_0001"});
    const std::string other = made.Make({"USB\\VID_0A1B&PID_002D"});
    ASSERT_FALSE(other.empty());

    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELNOSUCH", 0x0A1B, 0x002C);
    EXPECT_FALSE(made.Present(usb));
    EXPECT_TRUE(made.Present(other));

    // Nothing matches the fallback either: one more search, then the end.
    RemoveUsbPrinterDevice(door, "USBPRINT\\QUORVELNOSUCH", 0x0A1B, 0x0FFF);
    EXPECT_TRUE(made.Present(other));
}

TEST_F(UsbDeviceTest, AnIdentifierShorterThanOneProductRemovesNothing)
{
    const std::string hub = made.Make({"USB\\ROOT_HUB20&VID8086&PID2934"});
    const std::string sibling = made.Make({"USB\\VID_0A1B&PID_002C3&REV_0001"});
    const std::string printer = made.Make({"USBPRINT\\QUORVELLUMENTA_2400C8A1"});
    ASSERT_FALSE(printer.empty());

    RemoveUsbPrinterDevice(door, "USB", 0, 0);
    RemoveUsbPrinterDevice(door, "USB\\VID_0A1B", 0, 0);
    RemoveUsbPrinterDevice(door, "USBPRINT\\", 0, 0);
    // A product number is matched whole: 002C is not 002C3.
    RemoveUsbPrinterDevice(door, "USB\\VID_0A1B&PID_002C", 0, 0);
    EXPECT_TRUE(made.Present(hub));
    EXPECT_TRUE(made.Present(sibling));
    EXPECT_TRUE(made.Present(printer));
}

} // namespace

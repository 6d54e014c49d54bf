#include "UsbDevice.h"

#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../common/Handles.h"
#include "../common/Text.h"
#include "../common/Journal.h"
#include "../door/Door.h"

namespace {

constexpr DWORD kMaxDevices = 10000;
// "USB\VID_xxxx&PID_xxxx" and "USBPRINT\".
constexpr std::size_t kUsbProductIdLength = 21;
constexpr std::size_t kUsbPrintPrefixLength = 9;
constexpr int kMaxIdentifiers = 10;

bool Describe(DEVINST node, DeviceNode& out)
{
    if (CM_Get_Device_IDA(node, out.InstanceId, sizeof out.InstanceId, 0) != CR_SUCCESS)
        return false;
    ULONG size = sizeof out.HardwareIds - 2;
    ULONG type = 0;
    if (CM_Get_DevNode_Registry_PropertyA(node, CM_DRP_HARDWAREID, &type, out.HardwareIds, &size, 0) != CR_SUCCESS)
        return false;
    return true;
}

bool ManagerParent(DEVINST node, DeviceNode& parent)
{
    DEVINST found = 0;
    return CM_Get_Parent(&found, node, 0) == CR_SUCCESS && Describe(found, parent);
}

bool ManagerChild(DEVINST node, DeviceNode& child)
{
    DEVINST found = 0;
    return CM_Get_Child(&found, node, 0) == CR_SUCCESS && Describe(found, child);
}

const DeviceTree kManagerTree{ManagerParent, ManagerChild};
const DeviceTree* tree = &kManagerTree;

bool StartsWith(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

// The device's hardware identifiers, a double-NUL list in 512 bytes.
bool HardwareIds(HDEVINFO set, SP_DEVINFO_DATA& device, char (&ids)[512])
{
    std::memset(ids, 0, sizeof ids);
    DWORD type = 0;
    return SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID, &type, reinterpret_cast<BYTE*>(ids),
                                             sizeof ids - 2, nullptr) != FALSE;
}

// An identifier that can name the devices of one product only: a USB
// device by its vendor and whole product number, or a printer function by
// "USBPRINT\" and a model. A shorter one ("USB", "USB\VID_1A2B") would
// take hubs, keyboards and disks, or every device of a vendor, along.
bool NamesOneProduct(const char* target, bool usbDevice)
{
    const std::size_t length = std::strlen(target);
    if (usbDevice)
        return StartsWith(target, "USB\\VID_") && length >= kUsbProductIdLength && target[12] == '&' &&
               StartsWith(target + 13, "PID_");
    return StartsWith(target, "USBPRINT\\") && length > kUsbPrintPrefixLength;
}

// After the product number of a USB device's identifier only its revision
// or interface parts may follow: PID_00C is not PID_00C3.
bool IdMatches(const char* id, const char* target, bool usbDevice)
{
    const std::size_t length = std::strlen(target);
    if (std::strncmp(id, target, length) != 0)
        return false;
    return !usbDevice || id[length] == '\0' || id[length] == '&' || id[length] == '\\';
}

bool AnyIdMatches(const char* ids, const char* target, bool usbDevice)
{
    int count = 0;
    for (const char* id = ids; *id && count < kMaxIdentifiers; id += std::strlen(id) + 1, ++count) {
        if (IdMatches(id, target, usbDevice))
            return true;
    }
    return false;
}

std::string InstanceOf(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    char instance[MAX_DEVICE_ID_LEN] = {};
    if (!SetupDiGetDeviceInstanceIdA(set, &device, instance, sizeof instance, nullptr))
        instance[0] = '\0';
    return instance;
}

// Takes one device node away, named in the journal by its instance.
void RemoveDevice(Door& door, HDEVINFO set, SP_DEVINFO_DATA& device)
{
    const std::string instance = InstanceOf(set, device);
    if (!door.Gone(journal::op::kDevice, instance.c_str()))
        door.RemoveDevice(set, device, instance.c_str());
}

// A device that `keep` holds back is told so; true when it stays.
bool Stays(HDEVINFO set, SP_DEVINFO_DATA& device, const DeviceKeepRule& keep, const char* port)
{
    const std::string reason = keep(port);
    if (reason.empty())
        return false;
    journal::Kept(journal::op::kDevice, InstanceOf(set, device).c_str(), reason.c_str());
    return true;
}

} // namespace

std::string DevicePort(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    const HKEY opened = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (opened == INVALID_HANDLE_VALUE)
        return {};
    const RegistryKey parameters{opened};
    char port[64] = {};
    DWORD size = sizeof port - 1;
    DWORD type = 0;
    if (RegQueryValueExA(parameters.Get(), "PortName", nullptr, &type, reinterpret_cast<BYTE*>(port), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return port;
}

void SetDeviceTree(const DeviceTree* given) { tree = given ? given : &kManagerTree; }

void RemoveUsbPrinterDevice(Door& door, const char* hardwareId, unsigned vendor, unsigned product,
                            const DeviceKeepRule& keep)
{
    const bool given = hardwareId && *hardwareId;
    char target[text::kMaxText] = {};
    if (given) {
        if (!text::CopyWhole(target, hardwareId))
            return;
    } else {
        // Vendor or product 0 is no product: "USB\VID_0000&PID_0000" is
        // what Windows calls a device it doesn't know.
        if (vendor == 0 || product == 0 || vendor > 0xFFFF || product > 0xFFFF)
            return;
        std::snprintf(target, sizeof target, "USB\\VID_%04X&PID_%04X", vendor, product);
    }
    const bool namesUsbDevice = StartsWith(target, "USB\\");
    if (!NamesOneProduct(target, namesUsbDevice)) {
        if (given)
            RemoveUsbPrinterDevice(door, nullptr, vendor, product, keep);
        return;
    }
    bool matched = false;
    {
        DeviceInfoSet set(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
        if (set) {
            bool parentFound = false;
            DeviceNode parent;
            char keptParent[MAX_DEVICE_ID_LEN] = {};
            for (DWORD i = 0; i < kMaxDevices; ++i) {
                SP_DEVINFO_DATA device{};
                device.cbSize = sizeof device;
                if (!SetupDiEnumDeviceInfo(set.Get(), i, &device))
                    break;
                char ids[512];
                if (!HardwareIds(set.Get(), device, ids) || !AnyIdMatches(ids, target, namesUsbDevice))
                    continue;
                if (!namesUsbDevice) {
                    DeviceNode node;
                    const bool usbParent =
                        tree->Parent(device.DevInst, node) && StartsWith(node.HardwareIds, "USB\\");
                    // A printer device that stays keeps the USB device it hangs on.
                    if (Stays(set.Get(), device, keep, DevicePort(set.Get(), device).c_str())) {
                        if (usbParent)
                            text::CopyWhole(keptParent, node.InstanceId);
                        matched = true;
                        continue;
                    }
                    if (usbParent) {
                        parent = node;
                        parentFound = true;
                    }
                    RemoveDevice(door, set.Get(), device);
                } else {
                    bool childHandled = false;
                    DeviceNode child;
                    if (tree->FirstChild(device.DevInst, child) && StartsWith(child.HardwareIds, "USBPRINT")) {
                        RemoveUsbPrinterDevice(door, child.HardwareIds, 0, 0, keep);
                        childHandled = true;
                    }
                    // Without a printer device below it, the USB device
                    // publishes no port of its own.
                    if (!childHandled && !Stays(set.Get(), device, keep, "")) {
                        char instance[MAX_DEVICE_ID_LEN] = {};
                        if (SetupDiGetDeviceInstanceIdA(set.Get(), &device, instance, sizeof instance, nullptr) &&
                            text::CopyWhole(parent.InstanceId, instance)) {
                            text::CopyWhole(parent.HardwareIds, ids);
                            parentFound = true;
                        }
                    }
                }
                matched = true;
            }
            // The USB device the printer hangs on goes after its printers,
            // unless one of them stays.
            if (parentFound && text::FoldEqual(parent.InstanceId, keptParent))
                parentFound = false;
            for (DWORD i = 0; parentFound && i < kMaxDevices; ++i) {
                SP_DEVINFO_DATA device{};
                device.cbSize = sizeof device;
                if (!SetupDiEnumDeviceInfo(set.Get(), i, &device))
                    break;
                char instance[MAX_DEVICE_ID_LEN] = {};
                if (!SetupDiGetDeviceInstanceIdA(set.Get(), &device, instance, sizeof instance, nullptr) ||
                    !text::FoldEqual(instance, parent.InstanceId))
                    continue;
                char ids[512];
                if (HardwareIds(set.Get(), device, ids) && StartsWith(ids, "USB\\"))
                    RemoveDevice(door, set.Get(), device);
                break;
            }
        }
    }
    if (given && !matched)
        RemoveUsbPrinterDevice(door, nullptr, vendor, product, keep);
}

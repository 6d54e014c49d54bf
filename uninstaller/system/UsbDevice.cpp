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

const DeviceTree kManagerTree{ManagerParent};
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

// A device that `keep` holds back is told so; true when it stays.
bool Stays(HDEVINFO set, SP_DEVINFO_DATA& device, const DeviceKeepRule& keep, const char* port)
{
    const std::string reason = keep(port);
    if (reason.empty())
        return false;
    journal::Kept(journal::op::kDevice, InstanceOf(set, device).c_str(), reason.c_str());
    return true;
}

// One device of the set: its record, instance and hardware identifiers.
struct Found {
    SP_DEVINFO_DATA Data{};
    std::string Instance;
    std::string Ids; // the double-NUL list
};

std::vector<Found> ListDevices(HDEVINFO set)
{
    std::vector<Found> devices;
    for (DWORD i = 0; i < kMaxDevices; ++i) {
        Found found;
        found.Data.cbSize = sizeof found.Data;
        if (!SetupDiEnumDeviceInfo(set, i, &found.Data))
            break;
        char ids[512];
        if (!HardwareIds(set, found.Data, ids))
            continue;
        found.Instance = InstanceOf(set, found.Data);
        found.Ids.assign(ids, sizeof ids);
        devices.push_back(std::move(found));
    }
    return devices;
}

// Whether `device` hangs below the device of instance `ancestor`, within a
// few levels (a composite USB device puts its printer one level lower).
bool Below(const std::vector<Found>& devices, const Found& device, const std::string& ancestor)
{
    DEVINST node = device.Data.DevInst;
    for (int level = 0; level < 3; ++level) {
        DeviceNode parent;
        if (!tree->Parent(node, parent))
            return false;
        if (text::FoldEqual(parent.InstanceId, ancestor))
            return true;
        const auto next = std::find_if(devices.begin(), devices.end(),
                                       [&](const Found& d) { return text::FoldEqual(d.Instance, parent.InstanceId); });
        if (next == devices.end())
            return false;
        node = next->Data.DevInst;
    }
    return false;
}

// A USB device goes with the printer devices below it, unless one of them
// stays; one without any goes unless `keep` holds it back with no port.
void RemoveUsbDeviceIfFree(Door& door, HDEVINFO set, const std::vector<Found>& devices, const Found& usb,
                           const DeviceKeepRule& keep, std::vector<std::string>& removed)
{
    if (door.Gone(journal::op::kDevice, usb.Instance.c_str()))
        return;
    bool anyBelow = false;
    bool anyKept = false;
    for (const Found& printer : devices) {
        if (!StartsWith(printer.Ids.c_str(), "USBPRINT") || !Below(devices, printer, usb.Instance))
            continue;
        anyBelow = true;
        if (std::find(removed.begin(), removed.end(), printer.Instance) != removed.end())
            continue;
        SP_DEVINFO_DATA data = printer.Data;
        if (Stays(set, data, keep, DevicePort(set, data).c_str())) {
            anyKept = true;
            continue;
        }
        if (!door.Gone(journal::op::kDevice, printer.Instance.c_str()))
            door.RemoveDevice(set, data, printer.Instance.c_str());
        removed.push_back(printer.Instance);
    }
    SP_DEVINFO_DATA data = usb.Data;
    if (anyKept) {
        journal::Kept(journal::op::kDevice, usb.Instance.c_str(), "a printer device below it stays");
        return;
    }
    if (!anyBelow && Stays(set, data, keep, ""))
        return;
    door.RemoveDevice(set, data, usb.Instance.c_str());
    removed.push_back(usb.Instance);
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
            const std::vector<Found> devices = ListDevices(set.Get());
            std::vector<std::string> parents; // the USB devices the removed printers hung on
            std::vector<std::string> keptParents;
            std::vector<std::string> removed; // devices this pass took away
            for (const Found& found : devices) {
                if (!AnyIdMatches(found.Ids.c_str(), target, namesUsbDevice))
                    continue;
                matched = true;
                SP_DEVINFO_DATA device = found.Data;
                if (namesUsbDevice) {
                    if (std::find(removed.begin(), removed.end(), found.Instance) == removed.end())
                        RemoveUsbDeviceIfFree(door, set.Get(), devices, found, keep, removed);
                    continue;
                }
                DeviceNode node;
                const bool usbParent = tree->Parent(device.DevInst, node) && StartsWith(node.HardwareIds, "USB\\");
                // A printer device that stays keeps the USB device it hangs on.
                if (Stays(set.Get(), device, keep, DevicePort(set.Get(), device).c_str())) {
                    if (usbParent)
                        keptParents.emplace_back(node.InstanceId);
                    continue;
                }
                if (!door.Gone(journal::op::kDevice, found.Instance.c_str()))
                    door.RemoveDevice(set.Get(), device, found.Instance.c_str());
                removed.push_back(found.Instance);
                if (usbParent)
                    parents.emplace_back(node.InstanceId);
            }
            // The USB devices the printers hung on go after their printers,
            // unless one printer below them stays.
            for (const std::string& parent : parents) {
                if (std::any_of(keptParents.begin(), keptParents.end(),
                                [&](const std::string& k) { return text::FoldEqual(k, parent); }))
                    continue;
                for (const Found& found : devices) {
                    if (text::FoldEqual(found.Instance, parent) && StartsWith(found.Ids.c_str(), "USB\\")) {
                        if (std::find(removed.begin(), removed.end(), found.Instance) == removed.end())
                            RemoveUsbDeviceIfFree(door, set.Get(), devices, found, keep, removed);
                        break;
                    }
                }
            }
        }
    }
    if (given && !matched)
        RemoveUsbPrinterDevice(door, nullptr, vendor, product, keep);
}

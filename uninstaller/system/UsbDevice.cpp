#include "UsbDevice.h"

#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../common/Handles.h"
#include "../common/Text.h"

namespace {

constexpr DWORD kMaxDevices = 10000;
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

bool AnyIdStartsWith(const char* ids, const char* target)
{
    const std::size_t length = std::strlen(target);
    int count = 0;
    for (const char* id = ids; *id && count < kMaxIdentifiers; id += std::strlen(id) + 1, ++count) {
        if (std::strncmp(id, target, length) == 0)
            return true;
    }
    return false;
}

} // namespace

void SetDeviceTree(const DeviceTree* given) { tree = given ? given : &kManagerTree; }

void RemoveUsbPrinterDevice(const char* hardwareId, unsigned vendor, unsigned product)
{
    const bool given = hardwareId && *hardwareId;
    char target[text::kMaxText] = {};
    if (given) {
        if (!text::CopyWhole(target, hardwareId))
            return;
    } else {
        std::snprintf(target, sizeof target, "USB\\VID_%04X&PID_%04X", vendor, product);
    }
    const bool namesUsbDevice = StartsWith(target, "USB\\");
    bool matched = false;
    {
        DeviceInfoSet set(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
        if (set) {
            bool parentFound = false;
            DeviceNode parent;
            for (DWORD i = 0; i < kMaxDevices; ++i) {
                SP_DEVINFO_DATA device{};
                device.cbSize = sizeof device;
                if (!SetupDiEnumDeviceInfo(set.Get(), i, &device))
                    break;
                char ids[512];
                if (!HardwareIds(set.Get(), device, ids) || !AnyIdStartsWith(ids, target))
                    continue;
                if (!namesUsbDevice) {
                    DeviceNode node;
                    if (tree->Parent(device.DevInst, node) && StartsWith(node.HardwareIds, "USB\\")) {
                        parent = node;
                        parentFound = true;
                    }
                    SetupDiRemoveDevice(set.Get(), &device);
                } else {
                    bool childHandled = false;
                    DeviceNode child;
                    if (tree->FirstChild(device.DevInst, child) && StartsWith(child.HardwareIds, "USBPRINT")) {
                        RemoveUsbPrinterDevice(child.HardwareIds, 0, 0);
                        childHandled = true;
                    }
                    if (!childHandled) {
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
            // The USB device the printer hangs on goes after its printers.
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
                    SetupDiRemoveDevice(set.Get(), &device);
                break;
            }
        }
    }
    if (given && !matched)
        RemoveUsbPrinterDevice(nullptr, vendor, product);
}

#pragma once
// USB printer device nodes, removed with their USB parent device.

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <functional>
#include <string>

class Door;

// Why a printer device must stay, asked with the port it publishes (its
// "PortName", USB001 and the like; empty when that can't be read): a reason
// to keep it, or empty when nothing printing stays on it.
using DeviceKeepRule = std::function<std::string(const char* port)>;

// Removes the devices whose hardware identifier begins with `hardwareId`,
// or, when that is empty, with the identifier of the vendor and product
// numbers, unless `keep` gives a reason. A USB device goes only with the
// printer devices below it (a composite device's too): when one of them
// stays, it stays too.
void RemoveUsbPrinterDevice(Door& door, const char* hardwareId, unsigned vendor, unsigned product,
                            const DeviceKeepRule& keep);

// The port a printer device publishes under its parameters; empty when it
// can't be read.
std::string DevicePort(HDEVINFO set, SP_DEVINFO_DATA& device);

// A node of the device tree next to a device: its instance identifier, by
// which the device is found again, and its hardware identifiers.
struct DeviceNode {
    char InstanceId[MAX_DEVICE_ID_LEN] = {};
    char HardwareIds[256] = {};
};

// The links of the device tree, from the configuration manager. Tests give
// their own: a device made without hardware below it has no parent there,
// so no USB parent can be made on a test machine.
struct DeviceTree {
    bool (*Parent)(DEVINST node, DeviceNode& parent);
};
// nullptr restores the configuration manager's.
void SetDeviceTree(const DeviceTree* tree);

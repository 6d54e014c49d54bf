#pragma once
// Phantom devices of the printer class made in the bed, each with its
// hardware identifiers; every one still there goes with the object.

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <map>
#include <string>
#include <vector>

#include "common/Handles.h"

namespace bed {

inline const GUID kPrinterClass = {0x4d36e979, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

class Devices {
public:
    ~Devices()
    {
        for (const std::string& id : made_)
            Remove(id);
    }

    // The new device's instance identifier; empty when it couldn't be made.
    // A `port` is published under the device's parameters, as the USB
    // printer class driver publishes the port it made for the device.
    std::string Make(const std::vector<std::string>& hardwareIds, const std::string& port = {})
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
        if (!port.empty()) {
            const HKEY parameters =
                SetupDiCreateDevRegKeyA(set.Get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
            if (parameters == INVALID_HANDLE_VALUE)
                return {};
            const LONG written = RegSetValueExA(parameters, "PortName", 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(port.c_str()),
                                                static_cast<DWORD>(port.size() + 1));
            RegCloseKey(parameters);
            if (written != ERROR_SUCCESS)
                return {};
        }
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

} // namespace bed

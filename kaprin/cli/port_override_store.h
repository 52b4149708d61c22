// The settings store as one station sees it: --port and --baud stand in for the stored
// "Comm" values when start-up reads them, and --port with a device path for the stored
// map entry of the port in use; none of them is ever written, so stations that share one
// settings file each keep their own port. Everything else passes through.
#pragma once

#include "kaprin/base/ports.h"
#include "kaprin/prefs/comm_settings.h"
#include "kaprin/prefs/settings_keys.h"

#include <optional>
#include <string>

namespace kaprin::cli {

class PortOverrideStore : public SettingsStore {
public:
    PortOverrideStore(SettingsStore& inner, std::optional<int> portNumber, std::optional<int> baud,
                      std::string portPath = {})
        : inner_(inner),
          baudRate_(baud ? std::optional(comm::BaudSettingText(*baud)) : std::nullopt),
          portPath_(std::move(portPath)) {
        if (portNumber)
            comPort_ = comm::PortPositionText(*portNumber);
        mapKey_ = comm::PortMapKey(portNumber.value_or(comm::ReadPortPosition(inner) + 1));
    }

    std::string ReadSetting(const std::string& section, const std::string& key) override {
        if (section == settings::kComm && key == settings::kComPort && comPort_)
            return *comPort_;
        if (section == settings::kComm && key == settings::kBaudRate && baudRate_)
            return *baudRate_;
        if (section == comm::kPortsSection && key == mapKey_ && !portPath_.empty())
            return portPath_;
        return inner_.ReadSetting(section, key);
    }
    bool WriteSetting(const std::string& section, const std::string& key,
                      const std::string& value) override {
        return inner_.WriteSetting(section, key, value);
    }
    std::string Location() const override { return inner_.Location(); }

private:
    SettingsStore& inner_;
    std::optional<std::string> comPort_, baudRate_;
    std::string portPath_, mapKey_;
};

} // namespace kaprin::cli

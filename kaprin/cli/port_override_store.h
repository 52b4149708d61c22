// The settings store as one station sees it: --port and --baud stand in for the stored
// "Comm" values when start-up reads them, and are never written, so stations that share
// one settings file each keep their own port. Everything else passes through.
#pragma once

#include "kaprin/core/ports.h"

#include <optional>
#include <string>

namespace kaprin::cli {

class PortOverrideStore : public SettingsStore {
public:
    PortOverrideStore(SettingsStore& inner, std::optional<std::string> comPort,
                      std::optional<std::string> baudRate)
        : inner_(inner), comPort_(std::move(comPort)), baudRate_(std::move(baudRate)) {}

    std::string ReadSetting(const std::string& section, const std::string& key) override {
        if (section == "Comm" && key == "COM PORT" && comPort_)
            return *comPort_;
        if (section == "Comm" && key == "BAUD RATE" && baudRate_)
            return *baudRate_;
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
};

} // namespace kaprin::cli

// The settings store as the model uses it: a value that cannot be saved is reported
// through the message services, once until a later write succeeds again, so a store that
// stays read-only does not stop a station with a warning after every download.
#pragma once

#include "kaprin/base/ports.h"

namespace kaprin {

class WarningStore : public SettingsStore {
public:
    WarningStore(SettingsStore& inner, MessageServices& windows)
        : inner_(inner), windows_(windows) {}

    std::string ReadSetting(const std::string& section, const std::string& key) override {
        return inner_.ReadSetting(section, key);
    }
    bool WriteSetting(const std::string& section, const std::string& key,
                      const std::string& value) override {
        if (inner_.WriteSetting(section, key, value)) {
            warned_ = false;
            return true;
        }
        if (!warned_) {
            warned_ = true;
            windows_.Warn("The settings cannot be saved to " + inner_.Location() + " (" + section +
                          "/" + key + " and any later ones are lost at the end).");
        }
        return false;
    }
    std::string Location() const override { return inner_.Location(); }

private:
    SettingsStore& inner_;
    MessageServices& windows_;
    bool warned_ = false;
};

} // namespace kaprin

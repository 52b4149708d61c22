#include "kaprin/prefs/comm_settings.h"

#include "kaprin/base/port_choice.h"
#include "kaprin/base/ports.h"
#include "kaprin/prefs/settings_keys.h"
#include "rs232/rs232.h"

namespace kaprin::comm {

using settings::kBaudRate;
using settings::kComm;
using settings::kComPort;
using settings::ParseWhole;

int ReadPortPosition(SettingsStore& store) {
    const int port = ParseWhole(store.ReadSetting(kComm, kComPort)).value_or(0);
    return port >= 0 && port < kPorts ? port : 0;
}

std::int32_t ReadBaudRate(SettingsStore& store) {
    const std::int32_t stored =
        ParseWhole(store.ReadSetting(kComm, kBaudRate)).value_or(kDefaultBaudIndex);
    return stored >= 0 && stored < kRateCount ? kBaudRates[stored] : stored;
}

int ReadRatePosition(SettingsStore& store) {
    const auto stored = ParseWhole(store.ReadSetting(kComm, kBaudRate));
    if (!stored)
        return kDefaultBaudIndex;
    if (*stored >= 0 && *stored < kRateCount)
        return *stored;
    // Start-up passes such a number on as the rate itself: show that rate.
    for (int i = 0; i < kRateCount; ++i) {
        if (kBaudRates[i] == *stored)
            return i;
    }
    return kDefaultBaudIndex;
}

void WriteChoice(SettingsStore& store, int portPosition, int ratePosition) {
    store.WriteSetting(kComm, kComPort, settings::WholeText(portPosition));
    store.WriteSetting(kComm, kBaudRate, settings::WholeText(ratePosition));
}

std::string PortMapKey(int portNumber) {
    return ComName(portNumber);
}

PortMap ReadPortMap(SettingsStore& store) {
    PortMap map;
    for (int n = 1; n <= kPorts; ++n) {
        // Blanks around a hand-edited path are not part of it.
        map[static_cast<std::size_t>(n - 1)] =
            settings::Trim(store.ReadSetting(kPortsSection, PortMapKey(n)));
    }
    return map;
}

bool WritePortMapEntry(SettingsStore& store, int portNumber, const std::string& path) {
    return portNumber >= 1 && portNumber <= kPorts &&
           store.WriteSetting(kPortsSection, PortMapKey(portNumber), path);
}

bool MapIsEmpty(const PortMap& map) {
    for (const auto& path : map) {
        if (!path.empty())
            return false;
    }
    return true;
}

std::optional<int> ParseComName(const std::string& text) {
    const std::int32_t n = RS232_ComNumber(text.c_str());
    if (n < 1 || n > kPorts)
        return std::nullopt;
    return n;
}

} // namespace kaprin::comm

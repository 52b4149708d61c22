// The stored serial-port choice, in one place: the "Comm" positions of the port and the
// rate, the table of listed rates, and the port map of section "Ports" (COM number to
// device path). Readers apply their defaults here; nothing stored can stop the program.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kaprin {

class SettingsStore;

namespace comm {

inline constexpr int kPorts = 20; // COM1 to COM20
inline constexpr std::int32_t kBaudRates[] = {9600, 19200, 38400, 57600, 115200};
inline constexpr int kRateCount = static_cast<int>(std::size(kBaudRates));
inline constexpr int kDefaultBaudIndex = 4;

// Port position 0 to 19; an empty, unreadable or out-of-list text gives 0 (COM1).
int ReadPortPosition(SettingsStore& store);
// The rate start-up hands to the library: positions 0 to 4 name a listed rate, any other
// number is the rate itself, an empty or unreadable text gives 115200.
std::int32_t ReadBaudRate(SettingsStore& store);
// The rate's position in the list as the window shows it: a stored position, or the
// position of a stored listed rate; otherwise 4.
int ReadRatePosition(SettingsStore& store);
// The window's OK: "COM PORT" first, then "BAUD RATE", as positions.
void WriteChoice(SettingsStore& store, int portPosition, int ratePosition);

// Section "Ports": entry n - 1 is the device of COM n, empty when not mapped.
using PortMap = std::array<std::string, kPorts>;
inline constexpr const char* kPortsSection = "Ports";
std::string PortMapKey(int portNumber); // "COM1" … "COM20"
PortMap ReadPortMap(SettingsStore& store);
// An empty path clears the entry. False when it could not be saved.
bool WritePortMapEntry(SettingsStore& store, int portNumber, const std::string& path);
bool MapIsEmpty(const PortMap& map);

// "COM3", "com3", "\\.\COM3": the port number 1 to 20; nothing for anything else.
std::optional<int> ParseComName(const std::string& text);

} // namespace comm
} // namespace kaprin

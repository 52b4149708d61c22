#include "kaprin/prefs/serial_line.h"

namespace kaprin {

void SerialLine::Pin(std::optional<int> number, std::string path,
                     std::optional<std::int32_t> baud) {
    pinnedNumber_ = number;
    pinnedBaud_ = baud;
    choice_.number = number.value_or(choice_.number);
    numberKnown_ = numberKnown_ || number.has_value();
    choice_.path = std::move(path);
}

std::int32_t SerialLine::usePort(std::int32_t portIndex, std::int32_t baudRate) {
    choice_.number = pinnedNumber_.value_or(portIndex + 1);
    choice_.baud = pinnedBaud_.value_or(baudRate);
    numberKnown_ = true;
    if (!choice_.path.empty())
        HandOverMap(); // the path follows the port in use
    return pellin_.usePort(choice_.index(), choice_.baud);
}

void SerialLine::SetPortMap(const comm::PortMap& map) {
    map_ = map;
    mapGiven_ = true;
    HandOverMap();
}

void SerialLine::HandOverMap() {
    // A path waits for the port it stands in for, so that no other number ever maps to it.
    if (!serial_ || (!choice_.path.empty() && !numberKnown_))
        return;
    comm::PortMap map = map_;
    if (!choice_.path.empty() && choice_.number >= 1 && choice_.number <= comm::kPorts)
        map[static_cast<std::size_t>(choice_.index())] = choice_.path;
    if (mapGiven_ || !choice_.path.empty())
        serial_->SetPortMap(map);
}

std::int32_t SerialLine::Checked(std::int32_t result) {
    if (result != -1 || !serial_ || !onProblem)
        return result;
    // The library has closed the port again; the probe sees what the open saw, the rate too.
    const PortState state = serial_->ProbePort(ComName(choice_.number), choice_.baud);
    if (state.condition != PortCondition::Usable)
        onProblem(state);
    return result;
}

std::int32_t SerialLine::getError() {
    const std::int32_t code = pellin_.getError();
    // A pulled adapter stops every answer, so the library can only call it a time-out.
    if (code != 1 || !serial_ || !onProblem)
        return code;
    PortState state = serial_->ProbePort(ComName(choice_.number), choice_.baud);
    if (state.condition == PortCondition::Missing) {
        state.removed = true;
        onProblem(state);
    }
    return code;
}

} // namespace kaprin

#include "kaprin/prefs/port_check.h"

namespace kaprin {

std::int32_t PortCheckingPellin::Checked(std::int32_t result) {
    if (result != -1 || !serial_ || !onProblem)
        return result;
    // The library has closed the port again; the probe sees what the open saw.
    PortState state = serial_->ProbePort("COM" + std::to_string(portIndex() + 1));
    if (state.condition != PortCondition::Usable)
        onProblem(state);
    return result;
}

std::int32_t PortCheckingPellin::getError() {
    const std::int32_t code = PortMemo::getError();
    // A pulled adapter stops every answer, so the library can only call it a time-out.
    if (code != 1 || !serial_ || !onProblem)
        return code;
    PortState state = serial_->ProbePort("COM" + std::to_string(portIndex() + 1));
    if (state.condition == PortCondition::Missing) {
        state.removed = true;
        onProblem(state);
    }
    return code;
}

} // namespace kaprin

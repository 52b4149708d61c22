#include "kaprin/prefs/port_check.h"

#include "kaprin/core/port_choice.h"

namespace kaprin {

std::int32_t PortCheckingPellin::Checked(std::int32_t result) {
    if (result != -1 || !serial_ || !onProblem)
        return result;
    // The library has closed the port again; the probe sees what the open saw.
    PortState state = serial_->ProbePort(ComName(portIndex() + 1), baudRate());
    if (state.condition != PortCondition::Usable)
        onProblem(state);
    return result;
}

} // namespace kaprin

// The system's control classes: "button" (push, default push, check box,
// multi-line) and "static".
#pragma once

namespace sim {

void register_control_classes();

}  // namespace sim

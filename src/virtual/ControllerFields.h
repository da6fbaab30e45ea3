#pragma once

namespace corvane {

class System;
struct Controller;

// Lets the controller read the operator's fields and advanced options at the
// moment of use, and show the message table's texts in its label.
void BindControllerFields(System& system, Controller& controller);

}  // namespace corvane

#pragma once
#include "machine/Jog.h"
#include "machine/Moves.h"
#include "support/BoardFixture.h"

namespace corvane::testing {

// The jog wired as the main window wires it, on the board fixture's link:
// the speed keys come from `keys`, the moves ask the jog for its direction.
struct JogRig : BoardFixture {
  JogRig() {
    commands.ui.resetMotionState = [this] { moves.ResetMotionState(); };
    moves.ui.jogDirection = [this] { return jog.JogDirection; };
    jog.keys = [this] { return keys; };
    system->Busy = false;
    system->loading = false;
  }
  JogKeys keys;
  Moves moves{*system, link, commands};
  Jog jog{*system, link, commands, moves};
};

}  // namespace corvane::testing

#include "ui/GamepadReader.h"

#include <algorithm>

#ifdef CORVANE_HAVE_SDL2
#include <SDL.h>
#endif

namespace corvane::ui {

#ifdef CORVANE_HAVE_SDL2
namespace {

// SDL's axes run -32768..32767; the controller logic wants 0..65535.
std::int32_t Axis(SDL_Joystick* joystick, int axis) {
  if (axis >= SDL_JoystickNumAxes(joystick)) return 32767;
  return std::clamp<std::int32_t>(SDL_JoystickGetAxis(joystick, axis) + 32768, 0, 65535);
}

}  // namespace

GamepadReader::GamepadReader() = default;

GamepadReader::~GamepadReader() {
  if (joystick_) SDL_JoystickClose(static_cast<SDL_Joystick*>(joystick_));
  if (started_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

std::optional<PadReading> GamepadReader::read() {
  if (!started_) {
    // Only the joystick part: no window, sound or event loop of SDL's own.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // SIGTERM and SIGINT stay the program's own (it closes normally on them).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return std::nullopt;
    started_ = true;
  }
  SDL_JoystickUpdate();
  auto* joystick = static_cast<SDL_Joystick*>(joystick_);
  if (joystick && !SDL_JoystickGetAttached(joystick)) {
    SDL_JoystickClose(joystick);
    joystick = nullptr;
  }
  for (int index = 0; !joystick && index < std::min(2, SDL_NumJoysticks()); ++index)
    joystick = SDL_JoystickOpen(index);
  joystick_ = joystick;
  if (!joystick) return std::nullopt;
  PadReading pad;
  pad.x = Axis(joystick, 0);
  pad.y = Axis(joystick, 1);
  pad.z = Axis(joystick, 2);
  pad.r = Axis(joystick, 3);
  const int buttons = std::min(32, SDL_JoystickNumButtons(joystick));
  for (int b = 0; b < buttons; ++b)
    if (SDL_JoystickGetButton(joystick, b)) pad.buttons |= 1u << b;
  return pad;
}
#else
GamepadReader::GamepadReader() = default;
GamepadReader::~GamepadReader() = default;
std::optional<PadReading> GamepadReader::read() { return std::nullopt; }
#endif

}  // namespace corvane::ui

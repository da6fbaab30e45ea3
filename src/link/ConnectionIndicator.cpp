#include "link/ConnectionIndicator.h"

#include "ports/MessageTable.h"

namespace corvane {

ConnectionIndicator::ConnectionIndicator(MessageText messages) : messages_(std::move(messages)) {}

std::string ConnectionIndicator::message(int entry) const {
  if (messages_) {
    std::string translated = messages_(entry);
    if (!translated.empty()) return translated;
  }
  static const MessageTable builtIn;
  return builtIn[entry];
}

void ConnectionIndicator::show(int entry, IndicatorColour newColour) {
  showText(message(entry), newColour);
  steadyRed_ = newColour == IndicatorColour::Red &&
               (entry == indicator::kNoDevice || entry == indicator::kOpenFailed);
}

// A state shown while the pointer is over the label is the one leaving
// restores: a click that connects must not come back as the blink's grey.
void ConnectionIndicator::showText(const std::string& newText, IndicatorColour newColour) {
  text = newText;
  steadyRed_ = false;
  // Navy is the hover's own colour, never a state to come back to.
  if (newColour != IndicatorColour::Navy) remembered_ = newColour;
  colour = hovered_ ? IndicatorColour::Navy : newColour;
}

void ConnectionIndicator::MouseEnter() {
  if (!hovered_) remembered_ = colour;
  hovered_ = true;
  colour = IndicatorColour::Navy;
  fontSize = 13;
}

void ConnectionIndicator::MouseLeave() {
  hovered_ = false;
  colour = remembered_;
  fontSize = 12;
}

void ConnectionIndicator::MouseDown() { text = "R E S E T       "; }

void ConnectionIndicator::Blink(bool connected) {
  if (connected) {
    // Grey belongs to the blink of a closed link only.
    if (remembered_ == IndicatorColour::Grey) remembered_ = IndicatorColour::Green;
    if (colour == IndicatorColour::Grey) colour = IndicatorColour::Green;
    return;
  }
  if (hovered_) return;
  if (steadyRed_) {
    colour = remembered_ = IndicatorColour::Red;
    return;
  }
  colour = colour == IndicatorColour::Red ? IndicatorColour::Grey : IndicatorColour::Red;
  remembered_ = colour;
}

}  // namespace corvane

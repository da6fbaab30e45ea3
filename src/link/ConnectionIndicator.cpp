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
}

void ConnectionIndicator::showText(const std::string& newText, IndicatorColour newColour) {
  text = newText;
  colour = newColour;
}

void ConnectionIndicator::MouseEnter() {
  if (colour != IndicatorColour::Navy) remembered_ = colour;
  colour = IndicatorColour::Navy;
  fontSize = 13;
}

void ConnectionIndicator::MouseLeave() {
  colour = remembered_;
  fontSize = 12;
}

void ConnectionIndicator::MouseDown() { text = "R E S E T       "; }

void ConnectionIndicator::Blink(bool connected) {
  if (connected) return;
  colour = colour == IndicatorColour::Red ? IndicatorColour::Grey : IndicatorColour::Red;
}

}  // namespace corvane

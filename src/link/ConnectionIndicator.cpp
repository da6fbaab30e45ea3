#include "link/ConnectionIndicator.h"

namespace corvane {

namespace {
std::string DefaultMessage(int entry) {
  switch (entry) {
    case indicator::kNoDevice: return "No USB device";
    case indicator::kOpenFailed: return "USB port error";
    case indicator::kDisconnected: return "Disconnected";
    case indicator::kUpdateQuestion: return "Controller firmware";
    case indicator::kUpdateQuestionEnd: return "Update the firmware to";
    case indicator::kConnected: return "Connected";
    case indicator::kDisconnectedByOperator: return "Offline - click to connect";
    case indicator::kConnecting: return "Connecting...";
    default: return {};
  }
}
}  // namespace

ConnectionIndicator::ConnectionIndicator(MessageText messages) : messages_(std::move(messages)) {}

std::string ConnectionIndicator::message(int entry) const {
  if (messages_) {
    std::string translated = messages_(entry);
    if (!translated.empty()) return translated;
  }
  return DefaultMessage(entry);
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

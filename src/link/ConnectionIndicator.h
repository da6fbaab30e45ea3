#pragma once
#include <functional>
#include <string>

namespace corvane {

// Colours of the connection label's text.
enum class IndicatorColour { Red, Green, Blue, Navy, Grey };

// Message-table entries the label shows.
namespace indicator {
inline constexpr int kNoDevice = 2, kOpenFailed = 3, kDisconnected = 4, kUpdateQuestion = 5,
                     kUpdateQuestionEnd = 6, kConnected = 7, kDisconnectedByOperator = 10,
                     kConnecting = 11;
}  // namespace indicator

// What the main window's connection label `ConnectText` shows, without any
// widget: the UI copies text, colour and font size after every call.
class ConnectionIndicator {
 public:
  // Texts of the language's message table; English defaults until one is set.
  using MessageText = std::function<std::string(int entry)>;
  explicit ConnectionIndicator(MessageText messages = {});
  void setMessages(MessageText messages) { messages_ = std::move(messages); }
  std::string message(int entry) const;

  std::string text = "NoDevUSB";
  static constexpr const char* kHint = "Connection Reset";
  IndicatorColour colour = IndicatorColour::Red;
  int fontSize = 12;

  void show(int entry, IndicatorColour newColour);
  void showText(const std::string& newText, IndicatorColour newColour);
  // The red "link closed" state every disconnect leaves behind.
  void showDisconnected() { show(indicator::kDisconnected, IndicatorColour::Red); }

  // Pointer over the label: navy and larger; leaving restores the colour.
  void MouseEnter();
  void MouseLeave();
  // Button pressed on the label.
  void MouseDown();
  // The once-a-second blink while not connected: red and grey by turns for a
  // closed link; "No USB device" and a board that cannot be opened stay red.
  void Blink(bool connected);

 private:
  MessageText messages_;
  IndicatorColour remembered_ = IndicatorColour::Red;
  bool hovered_ = false;
  bool steadyRed_ = false;  // no board to connect to: red, no blink
};

}  // namespace corvane

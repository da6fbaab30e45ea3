#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The operator sounds, by the name of their file: program folder
// "sounds/<language>/<name>.wav" (OperatorSoundFile).
namespace sound {
inline constexpr std::string_view kStart = "Start";    // a job starts
inline constexpr std::string_view kStop = "Stop";      // a job ends
inline constexpr std::string_view kXY0 = "XY0";        // the job's X and Y origin is set
inline constexpr std::string_view kZ0 = "Z0";          // the job's Z origin is set
inline constexpr std::string_view kMatDet = "MatDet";  // the material is sensed
inline constexpr std::string_view kAll[] = {kStart, kStop, kXY0, kZ0, kMatDet};
}  // namespace sound

enum class Window { Main, Import, Configuration, Analysis };
enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };
enum class Answer { Ok, Yes, No, Cancel };

// What the core needs from the operator's screen. The Qt program implements it;
// tests use a recording fake that answers dialogs from a script.
class Host {
 public:
  virtual ~Host() = default;
  // Lets the UI handle pending input between controller exchanges.
  virtual void processEvents() = 0;
  virtual void setErrorLabel(const std::string& text) = 0;
  virtual void showMessage(const std::string& text) = 0;
  // The standard error box of operator file commands.
  virtual void showError(const std::string& text) = 0;
  virtual Answer ask(const std::string& text, Buttons buttons) = 0;
  virtual std::optional<std::string> inputText(const std::string& title, const std::string& prompt,
                                               const std::string& initial) = 0;
  // The same question for a secret: the screen hides what is typed.
  virtual std::optional<std::string> inputPassword(const std::string& title,
                                                   const std::string& prompt) {
    return inputText(title, prompt, "");
  }
  virtual void beep() = 0;
  virtual void playSound(std::string_view name) = 0;
  virtual void requestRedraw() = 0;
  virtual void requestRefresh() = 0;
  virtual void setFieldVisible(Window window, const std::string& field, bool visible) = 0;
  // The main window's log pane: one message per line, and a way to bring it up.
  virtual void appendLogPane(const std::string& message) = 0;
  virtual void showLogPane() = 0;
  // The main window's one-shot timer: `fire` runs once, `millis` later, from
  // the event loop, so the handler that armed it returns first. Arming it
  // again replaces a call that has not run yet.
  virtual void armOneShot(int millis, std::function<void()> fire) = 0;
};

// A host with no screen: dialogs take their default answer. Used by the
// command-line tools and as a base for test fakes.
class SilentHost : public Host {
 public:
  void processEvents() override {}
  void setErrorLabel(const std::string&) override {}
  void showMessage(const std::string&) override {}
  void showError(const std::string&) override {}
  Answer ask(const std::string&, Buttons buttons) override {
    return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::No;
  }
  std::optional<std::string> inputText(const std::string&, const std::string&,
                                       const std::string&) override {
    return std::nullopt;
  }
  void beep() override {}
  void playSound(std::string_view) override {}
  void requestRedraw() override {}
  void requestRefresh() override {}
  void setFieldVisible(Window, const std::string&, bool) override {}
  void appendLogPane(const std::string&) override {}
  void showLogPane() override {}
  // No event loop to return to: the call runs at once.
  void armOneShot(int, std::function<void()> fire) override {
    if (fire) fire();
  }
};

}  // namespace corvane

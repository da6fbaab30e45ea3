#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ports/Host.h"

namespace corvane::testing {

// A host that records every request and answers dialogs from a script.
class RecordingHost : public Host {
 public:
  void processEvents() override {
    ++eventsProcessed;
    if (onProcessEvents) onProcessEvents();
  }
  void setErrorLabel(const std::string& text) override {
    errorLabel = text;
    errorLabels.push_back(text);
  }
  void showMessage(const std::string& text) override { messages.push_back(text); }
  void showError(const std::string& text) override { errors.push_back(text); }
  Answer ask(const std::string& text, Buttons) override {
    questions.push_back(text);
    if (onAsk) onAsk(text);
    if (answers.empty()) return Answer::No;
    const Answer next = answers.front();
    answers.pop_front();
    return next;
  }
  std::optional<std::string> inputText(const std::string&, const std::string& prompt,
                                       const std::string&) override {
    prompts.push_back(prompt);
    if (inputs.empty()) return std::nullopt;
    auto next = inputs.front();
    inputs.pop_front();
    return next;
  }
  void beep() override { ++beeps; }
  void playSound(std::string_view name) override { sounds.emplace_back(name); }
  void requestRedraw() override { ++redraws; }
  void requestRefresh() override { ++refreshes; }
  void setFieldVisible(Window, const std::string& field, bool visible) override {
    visibility.emplace_back(field, visible);
  }
  void appendLogPane(const std::string& message) override { logPane.push_back(message); }
  void showLogPane() override { logPaneShown = true; }
  void armOneShot(int millis, std::function<void()> fire) override {
    oneShotMillis = millis;
    oneShot = std::move(fire);
  }
  // Runs the armed one-shot call as the event loop would; false when none is armed.
  bool fireOneShot() {
    if (!oneShot) return false;
    auto fire = std::move(oneShot);
    oneShot = nullptr;
    fire();
    return true;
  }

  int eventsProcessed = 0;
  std::function<void()> onProcessEvents;
  // Sees every question as it is put, before it is answered.
  std::function<void(const std::string& question)> onAsk;
  std::string errorLabel;
  std::vector<std::string> errorLabels;  // every text the label showed, in order
  std::vector<std::string> messages, errors, questions, prompts, sounds, logPane;
  std::deque<Answer> answers;
  std::deque<std::optional<std::string>> inputs;
  std::vector<std::pair<std::string, bool>> visibility;
  int beeps = 0, redraws = 0, refreshes = 0;
  bool logPaneShown = false;
  std::function<void()> oneShot;
  int oneShotMillis = 0;
};

}  // namespace corvane::testing

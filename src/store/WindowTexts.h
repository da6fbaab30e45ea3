#pragma once
#include <array>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model/PathPick.h"
#include "ports/Host.h"
#include "ports/MessageTable.h"

namespace corvane {

// What a translatable text belongs to; the language file's key letter names it.
enum class ControlKind { Label, Edit, CheckBox, Radio, Button, SpeedButton, Page };

// One control of a window with its translatable text: the caption of a label,
// box, button or page, the hint of an edit field or speed button.
struct ControlText {
  std::string name;
  ControlKind kind = ControlKind::Label;
  std::string text;
};

// The texts the three windows show, in the order the windows create their
// controls. They start as the built-in English of the field tables; a language
// file replaces them, and the windows show whatever is here.
class WindowTexts {
 public:
  static constexpr size_t kPopupEntries = 7;

  WindowTexts();

  // Back to the built-in English.
  void Reset();
  // The popup captions and the path view's hint are messages of the table.
  void TakeMessageTexts(const MessageTable& messages);

  const std::vector<ControlText>& controls(Window window) const;
  // Looked up regardless of letter case; nullptr for a name the window lacks.
  const ControlText* find(Window window, std::string_view name) const;
  // Empty for an unknown name.
  const std::string& text(Window window, std::string_view name) const;
  // False for an unknown name.
  bool setText(Window window, std::string_view name, std::string text);

  // The path view's popup menu, by entry.
  const std::string& popupCaption(PopupEntry entry) const;
  // The path view's hint; its two lines are separated by a line feed and a carriage return.
  const std::string& pathViewHint() const { return pathViewHint_; }

  // The windows re-read every text when told; one call per language load.
  int subscribe(std::function<void()> listener);
  void unsubscribe(int id);
  void notifyChanged() const;

 private:
  struct Controls {
    std::vector<ControlText> list;
    std::map<std::string, size_t> index;  // folded name -> position in list
  };
  Controls& of(Window window);
  const Controls& of(Window window) const;

  // By Window; the analysis window has no texts and keeps its list empty.
  std::array<Controls, 4> windows_;
  std::array<std::string, kPopupEntries> popup_;
  std::string pathViewHint_;
  std::map<int, std::function<void()>> listeners_;
  int nextListener_ = 1;
};

// The label a window shows beside a text field or a list of that name.
std::string LabelName(std::string_view control);

}  // namespace corvane

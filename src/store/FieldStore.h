#pragma once
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "store/FieldTables.h"

namespace corvane {

// The current value of one field.
struct FieldValue {
  const FieldSpec* definition = nullptr;
  std::string text;      // text fields
  bool checked = false;  // check boxes and radio buttons
};

// The current state of one drop-down list; -1 selects nothing.
struct ChoiceValue {
  const ChoiceSpec* definition = nullptr;
  std::vector<std::string> items;
  int index = -1;
};

// The truth behind every window field: the UI shows these values and writes the
// operator's edits back here; the settings store saves and loads them. Names are
// looked up regardless of letter case, as the settings file does.
class FieldStore {
 public:
  using ChangeListener = std::function<void(Window window, const std::string& name)>;
  using Behaviour = std::function<void()>;

  // Every field starts at its built-in default.
  FieldStore();

  // Fields of a window in file order, for building widgets and writing the file.
  const std::vector<FieldValue>& fields(Window window) const;
  const std::vector<ChoiceValue>& choices(Window window) const;

  const FieldValue* find(Window window, std::string_view name) const;
  const ChoiceValue* findChoice(Window window, std::string_view name) const;

  // Empty for an unknown name.
  const std::string& text(Window window, std::string_view name) const;
  bool checked(Window window, std::string_view name) const;
  // Both return false for an unknown name or a field of the other kind.
  bool setText(Window window, std::string_view name, const std::string& text);
  // Checking a radio button unchecks the others of its group.
  bool setChecked(Window window, std::string_view name, bool checked);

  // Selecting an entry writes the mirrored hidden field, as the operator's choice does.
  bool selectChoice(Window window, std::string_view name, int index);
  // Sets the list from its hidden field without writing the field back.
  void showChoice(Window window, std::string_view name, int index);
  void setChoiceItems(Window window, std::string_view name, std::vector<std::string> items);
  int choiceIndex(Window window, std::string_view name) const;

  // Told after every change of a text, check state or list selection.
  int subscribe(ChangeListener listener);
  void unsubscribe(int id);

  // What clicking a check box or radio button, or choosing from a list, does
  // beyond storing the value. Several behaviours run in the order added.
  void addClickBehaviour(Window window, std::string_view name, Behaviour behaviour);
  void runClickBehaviour(Window window, std::string_view name);

 private:
  struct WindowFields {
    std::vector<FieldValue> fields;
    std::vector<ChoiceValue> choices;
    std::map<std::string, size_t> fieldIndex;
    std::map<std::string, size_t> choiceIndex;
  };
  WindowFields& of(Window window);
  const WindowFields& of(Window window) const;
  FieldValue* findMutable(Window window, std::string_view name);
  ChoiceValue* findChoiceMutable(Window window, std::string_view name);
  void notify(Window window, const std::string& name);

  WindowFields main_, import_, configuration_, none_;
  std::map<int, ChangeListener> listeners_;
  int nextListener_ = 1;
  std::map<std::pair<Window, std::string>, std::vector<Behaviour>> behaviours_;
};

// Field names are compared without regard to letter case.
std::string FoldCase(std::string_view name);

}  // namespace corvane

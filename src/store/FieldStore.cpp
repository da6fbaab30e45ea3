#include "store/FieldStore.h"

#include <utility>

namespace corvane {

std::string FoldCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

FieldStore::FieldStore() {
  for (Window window : {Window::Main, Window::Import, Window::Configuration}) {
    WindowFields& w = of(window);
    for (const FieldSpec& definition : FieldsOf(window)) {
      w.fieldIndex.emplace(FoldCase(definition.name), w.fields.size());
      const bool text = definition.kind == FieldKind::Text;
      w.fields.push_back({&definition, text ? std::string(definition.defaultValue) : std::string(),
                          !text && definition.defaultValue == "1"});
    }
    for (const ChoiceSpec& definition : ChoiceListsOf(window)) {
      w.choiceIndex.emplace(FoldCase(definition.name), w.choices.size());
      w.choices.push_back({&definition, {definition.items.begin(), definition.items.end()}, -1});
    }
  }
}

FieldStore::WindowFields& FieldStore::of(Window window) {
  return const_cast<WindowFields&>(std::as_const(*this).of(window));
}

const FieldStore::WindowFields& FieldStore::of(Window window) const {
  switch (window) {
    case Window::Main: return main_;
    case Window::Import: return import_;
    case Window::Configuration: return configuration_;
    case Window::Analysis: break;
  }
  return none_;
}

const std::vector<FieldValue>& FieldStore::fields(Window window) const {
  return of(window).fields;
}

const std::vector<ChoiceValue>& FieldStore::choices(Window window) const {
  return of(window).choices;
}

const FieldValue* FieldStore::find(Window window, std::string_view name) const {
  const WindowFields& w = of(window);
  const auto it = w.fieldIndex.find(FoldCase(name));
  return it == w.fieldIndex.end() ? nullptr : &w.fields[it->second];
}

const ChoiceValue* FieldStore::findChoice(Window window, std::string_view name) const {
  const WindowFields& w = of(window);
  const auto it = w.choiceIndex.find(FoldCase(name));
  return it == w.choiceIndex.end() ? nullptr : &w.choices[it->second];
}

FieldValue* FieldStore::findMutable(Window window, std::string_view name) {
  return const_cast<FieldValue*>(find(window, name));
}

ChoiceValue* FieldStore::findChoiceMutable(Window window, std::string_view name) {
  return const_cast<ChoiceValue*>(findChoice(window, name));
}

const std::string& FieldStore::text(Window window, std::string_view name) const {
  static const std::string kEmpty;
  const FieldValue* field = find(window, name);
  return field ? field->text : kEmpty;
}

bool FieldStore::checked(Window window, std::string_view name) const {
  const FieldValue* field = find(window, name);
  return field && field->checked;
}

bool FieldStore::setText(Window window, std::string_view name, const std::string& text) {
  FieldValue* field = findMutable(window, name);
  if (!field || field->definition->kind != FieldKind::Text) return false;
  if (field->text != text) {
    field->text = text;
    notify(window, std::string(field->definition->name));
  }
  return true;
}

bool FieldStore::setChecked(Window window, std::string_view name, bool checked) {
  FieldValue* field = findMutable(window, name);
  if (!field || field->definition->kind == FieldKind::Text) return false;
  if (field->checked == checked) return true;
  field->checked = checked;
  notify(window, std::string(field->definition->name));
  if (checked && field->definition->kind == FieldKind::Radio) {
    for (FieldValue& other : of(window).fields) {
      if (&other == field || other.definition->kind != FieldKind::Radio ||
          other.definition->group != field->definition->group || !other.checked)
        continue;
      other.checked = false;
      notify(window, std::string(other.definition->name));
    }
  }
  return true;
}

bool FieldStore::selectChoice(Window window, std::string_view name, int index) {
  ChoiceValue* choice = findChoiceMutable(window, name);
  if (!choice) return false;
  showChoice(window, name, index);
  const bool valid = choice->index >= 0;
  const std::string value = choice->definition->mirrorsText
                                ? (valid ? choice->items[static_cast<size_t>(choice->index)] : "")
                                : std::to_string(choice->index);
  return setText(window, choice->definition->mirror, value);
}

void FieldStore::showChoice(Window window, std::string_view name, int index) {
  ChoiceValue* choice = findChoiceMutable(window, name);
  if (!choice) return;
  // A list given an index it does not have selects nothing.
  const int selected = index >= 0 && static_cast<size_t>(index) < choice->items.size() ? index : -1;
  if (choice->index == selected) return;
  choice->index = selected;
  notify(window, std::string(choice->definition->name));
}

void FieldStore::setChoiceItems(Window window, std::string_view name,
                                std::vector<std::string> items) {
  ChoiceValue* choice = findChoiceMutable(window, name);
  if (!choice) return;
  choice->items = std::move(items);
  choice->index = -1;
  notify(window, std::string(choice->definition->name));
}

int FieldStore::choiceIndex(Window window, std::string_view name) const {
  const ChoiceValue* choice = findChoice(window, name);
  return choice ? choice->index : -1;
}

int FieldStore::subscribe(ChangeListener listener) {
  listeners_.emplace(nextListener_, std::move(listener));
  return nextListener_++;
}

void FieldStore::unsubscribe(int id) { listeners_.erase(id); }

void FieldStore::notify(Window window, const std::string& name) {
  // A listener may unsubscribe itself; walk a copy of the ids.
  std::vector<int> ids;
  for (const auto& [id, listener] : listeners_) ids.push_back(id);
  for (int id : ids) {
    const auto it = listeners_.find(id);
    if (it != listeners_.end()) it->second(window, name);
  }
}

void FieldStore::addClickBehaviour(Window window, std::string_view name, Behaviour behaviour) {
  behaviours_[{window, FoldCase(name)}].push_back(std::move(behaviour));
}

void FieldStore::runClickBehaviour(Window window, std::string_view name) {
  const auto it = behaviours_.find({window, FoldCase(name)});
  if (it == behaviours_.end()) return;
  // Copy: a behaviour may add behaviours.
  const std::vector<Behaviour> toRun = it->second;
  for (const Behaviour& behaviour : toRun) behaviour();
}

}  // namespace corvane

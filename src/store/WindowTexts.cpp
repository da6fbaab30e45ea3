#include "store/WindowTexts.h"

#include <iterator>

#include "store/FieldStore.h"
#include "store/FieldTables.h"

namespace corvane {
namespace {

constexpr Window kWindows[] = {Window::Main, Window::Import, Window::Configuration};

// Controls that are not fields of the settings: they carry texts only.
struct ExtraControl {
  Window window;
  std::string_view before;  // the field it is created before; empty: after all fields
  std::string_view name;
  ControlKind kind;
  std::string_view text;
};

constexpr ExtraControl kExtraControls[] = {
    // The contour navigation under the path view shows only symbols.
    {Window::Main, {}, "sRev", ControlKind::SpeedButton, "Start from the first contour"},
    {Window::Main, {}, "sRev1", ControlKind::SpeedButton, "One contour back"},
    {Window::Main, {}, "sFF1", ControlKind::SpeedButton, "One contour forward"},
    {Window::Main, {}, "sFF", ControlKind::SpeedButton, "Start from the last contour"},
    // The toolbar's buttons: a language file reaches them by these names.
    {Window::Main, {}, "sOpen", ControlKind::SpeedButton, "Open Project"},
    {Window::Main, {}, "sSave", ControlKind::SpeedButton, "Save Project"},
    {Window::Main, {}, "sImport", ControlKind::SpeedButton, "Import File"},
    {Window::Main, {}, "sExport", ControlKind::SpeedButton, "G-Codes Eksport"},
    {Window::Main, {}, "sAnalise", ControlKind::SpeedButton, "Analise"},
    {Window::Main, {}, "SpeedButton4", ControlKind::SpeedButton, "Trace the job outline"},
    {Window::Main, {}, "SpeedButton5", ControlKind::SpeedButton, "Tube"},
    {Window::Main, {}, "SpeedButton32", ControlKind::SpeedButton, "Configuration"},
    {Window::Main, {}, "SpeedButton33", ControlKind::SpeedButton, "Help"},
    {Window::Main, {}, "SpeedButton2", ControlKind::SpeedButton, "Help"},
    {Window::Main, {}, "SpeedButton3", ControlKind::SpeedButton, "Schematic"},
    {Window::Main, {}, "SpeedButton30", ControlKind::SpeedButton, "Exit"},
    {Window::Main, {}, "sStart", ControlKind::SpeedButton, "CTRL for REVERSE"},
    // The sort choices are headed twice: the automatic orders and the manual one.
    {Window::Import, "rSort2", "lSortSequence", ControlKind::Label, "Sort Sequence"},
    {Window::Import, "eSortH", "lSortSequence2", ControlKind::Label, "Sort Sequence"},
};

// Messages that name the popup entries, in the order of PopupEntry.
constexpr int kPopupMessages[] = {101, 102, 103, 104, 109, 105, 106};
static_assert(std::size(kPopupMessages) == WindowTexts::kPopupEntries);
static_assert(static_cast<size_t>(PopupEntry::Cancel) + 1 == WindowTexts::kPopupEntries);
constexpr int kMsgPathViewHint1 = 13;
constexpr int kMsgPathViewHint2 = 14;

ControlKind KindOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::CheckBox: return ControlKind::CheckBox;
    case FieldKind::Radio: return ControlKind::Radio;
    case FieldKind::Text: break;
  }
  return ControlKind::Edit;
}

}  // namespace

std::string LabelName(std::string_view control) {
  std::string name(1, 'l');
  name.append(control);
  return name;
}

WindowTexts::WindowTexts() { Reset(); }

void WindowTexts::Reset() {
  for (Window window : kWindows) {
    Controls& controls = of(window);
    controls = {};
    const auto add = [&controls](std::string name, ControlKind kind, std::string_view text) {
      controls.index.emplace(FoldCase(name), controls.list.size());
      controls.list.push_back({std::move(name), kind, std::string(text)});
    };
    const auto addExtras = [&](std::string_view before) {
      for (const ExtraControl& extra : kExtraControls)
        if (extra.window == window && extra.before == before)
          add(std::string(extra.name), extra.kind, extra.text);
    };
    if (window == Window::Configuration) {
      const auto pages = ConfigurationPages();
      for (size_t i = 0; i < pages.size(); ++i)
        add("TabSheet" + std::to_string(i + 1), ControlKind::Page, pages[i]);
    }
    for (const ChoiceSpec& list : ChoiceListsOf(window))
      if (!list.caption.empty()) add(LabelName(list.name), ControlKind::Label, list.caption);
    for (const FieldSpec& field : FieldsOf(window)) {
      addExtras(field.name);
      // A text field's caption is a label of its own; a box carries its caption itself.
      if (field.kind == FieldKind::Text) {
        if (!field.caption.empty()) add(LabelName(field.name), ControlKind::Label, field.caption);
        add(std::string(field.name), ControlKind::Edit, {});
      } else {
        add(std::string(field.name), KindOf(field.kind), field.caption);
      }
    }
    addExtras({});
  }
  TakeMessageTexts(MessageTable{});
}

void WindowTexts::TakeMessageTexts(const MessageTable& messages) {
  for (size_t i = 0; i < kPopupEntries; ++i) popup_[i] = messages[kPopupMessages[i]];
  pathViewHint_ = messages[kMsgPathViewHint1] + "\n\r" + messages[kMsgPathViewHint2];
}

WindowTexts::Controls& WindowTexts::of(Window window) {
  return windows_[static_cast<size_t>(window)];
}

const WindowTexts::Controls& WindowTexts::of(Window window) const {
  return windows_[static_cast<size_t>(window)];
}

const std::vector<ControlText>& WindowTexts::controls(Window window) const {
  return of(window).list;
}

const ControlText* WindowTexts::find(Window window, std::string_view name) const {
  const Controls& controls = of(window);
  const auto it = controls.index.find(FoldCase(name));
  return it == controls.index.end() ? nullptr : &controls.list[it->second];
}

const std::string& WindowTexts::text(Window window, std::string_view name) const {
  static const std::string kNone;
  const ControlText* control = find(window, name);
  return control ? control->text : kNone;
}

bool WindowTexts::setText(Window window, std::string_view name, std::string text) {
  auto* control = const_cast<ControlText*>(find(window, name));
  if (!control) return false;
  control->text = std::move(text);
  return true;
}

const std::string& WindowTexts::popupCaption(PopupEntry entry) const {
  return popup_[static_cast<size_t>(entry)];
}

int WindowTexts::subscribe(std::function<void()> listener) {
  listeners_.emplace(nextListener_, std::move(listener));
  return nextListener_++;
}

void WindowTexts::unsubscribe(int id) { listeners_.erase(id); }

void WindowTexts::notifyChanged() const {
  for (const auto& [id, listener] : listeners_) listener();
}

}  // namespace corvane

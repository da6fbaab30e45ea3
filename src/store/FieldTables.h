#pragma once
#include <span>
#include <string_view>

#include "ports/Host.h"

namespace corvane {

enum class FieldKind { Text, CheckBox, Radio };

// How a field starts out on screen; behaviours may show or enable it later.
enum class FieldState { Shown, Hidden, Disabled };

// One operator field of a window: the settings file, the UI and the language
// template all take names, kinds, order and defaults from these tables.
struct FieldSpec {
  std::string_view name;
  FieldKind kind = FieldKind::Text;
  // The text of a text field; "1" or "0" for a check box or radio button.
  std::string_view defaultValue;
  // The label or caption the window shows with the field; empty when it has none.
  std::string_view caption;
  FieldState state = FieldState::Shown;
  // Radio buttons: the group whose buttons exclude each other.
  // Configuration window: the page the field sits on.
  std::string_view group;
};

// A drop-down list. Lists are not stored; each mirrors a hidden text field
// that holds its selected index, or its selected text.
struct ChoiceSpec {
  std::string_view name;
  std::string_view mirror;
  bool mirrorsText = false;
  std::string_view caption;
  std::span<const std::string_view> items;  // empty: filled at run time (languages)
  std::string_view page;
};

// The fields of a window in the order the window creates them (the file order).
std::span<const FieldSpec> FieldsOf(Window window);
std::span<const ChoiceSpec> ChoiceListsOf(Window window);
// The configuration window's pages, by index.
std::span<const std::string_view> ConfigurationPages();

}  // namespace corvane

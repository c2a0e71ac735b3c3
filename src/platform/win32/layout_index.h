#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

#include "platform/window_layout.h"

namespace meterstation {

// Where a control stands in kWindowLayout, by its kind and id; past the
// end for none.
constexpr std::size_t layoutIndex(ControlKind kind, int id = kNoId) {
  for (std::size_t i = 0; i < kWindowLayout.size(); ++i) {
    if (kWindowLayout[i].kind == kind && kWindowLayout[i].id == id) return i;
  }
  return kWindowLayout.size();
}

// The child window ids, one a layout row, clear of IDOK and IDCANCEL that
// the dialog keys send.
inline constexpr WORD kFirstControlId = 100;

constexpr WORD controlIdOf(std::size_t index) { return static_cast<WORD>(kFirstControlId + index); }

constexpr std::optional<std::size_t> layoutIndexOfId(WORD id) {
  if (id < kFirstControlId) return std::nullopt;
  const auto index = static_cast<std::size_t>(id - kFirstControlId);
  return index < kWindowLayout.size() ? std::optional(index) : std::nullopt;
}

// Whether the control lies on the lamp, drawn over it.
constexpr bool liesOnLamp(std::size_t index) {
  const std::size_t lamp = layoutIndex(ControlKind::Lamp);
  return index != lamp && lamp < kWindowLayout.size() &&
         liesWithin(kWindowLayout[index].at, kWindowLayout[lamp].at);
}

}  // namespace meterstation

#pragma once

#include <array>
#include <string_view>

#include "platform/window_controls.h"

namespace meterstation {

// The station's one window, described once for every front end that draws
// it: which controls it has, how each starts, where it stands and the order
// the keyboard takes them in. A front end builds its controls from this
// table and nothing else, so two front ends cannot drift apart.

inline constexpr std::string_view kWindowTitle = "Quellnetix Tessaro v1.17Type2";

// Positions are in twips, 1/1440 inch, as the window was drawn: 15 twips
// to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidthTwips = 7680;
inline constexpr int kClientHeightTwips = 5295;

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

enum class ControlKind { DriveList, DirList, Button, ListBox, Lamp, Label, TextBox, CheckBox };

// No id: the logic never addresses the control by an id of its kind (the
// captions "Obs #" and "Interval"), or the control is the only one of its
// kind (drive list, directory list, lamp) and has calls of its own.
inline constexpr int kNoId = -1;
// Takes no keyboard focus.
inline constexpr int kNoTab = -1;

struct ControlLayout {
  std::string_view name{};
  ControlKind kind = ControlKind::Label;
  // The value of the control's ListId, TextId, LabelId, CheckId or ButtonId.
  int id = kNoId;
  // A button's, label's or check box's caption; a text box's initial text.
  std::string_view text{};
  bool enabled = true;
  bool ticked = false;
  std::string_view toolTip{};  // empty: none
  TwipsRect at{};
  int tabIndex = kNoTab;  // place in the keyboard's order, from 0
};

template <typename Id>
constexpr int idOf(Id id) {
  return static_cast<int>(id);
}

namespace layout_detail {
inline constexpr std::string_view kPortTip = "Com port to read processor.";
}

// In the order the controls are made: a control made later is drawn over
// one made earlier where they meet.
inline constexpr std::array<ControlLayout, 22> kWindowLayout = {{
    {.name = "Drive1",
     .kind = ControlKind::DriveList,
     .toolTip = "Select drive for processor to be read.",
     .at = {120, 120, 2175, 315},
     .tabIndex = 5},
    {.name = "Dir1",
     .kind = ControlKind::DirList,
     .toolTip = "Select subdirectory for processor to be read with double click.",
     .at = {120, 480, 2175, 1440},
     .tabIndex = 6},
    // The port buttons wait until a drive or directory has been chosen.
    {.name = "Command1",
     .kind = ControlKind::Button,
     .id = idOf(ButtonId::Command1),
     .text = "Com1",
     .enabled = false,
     .toolTip = layout_detail::kPortTip,
     .at = {2400, 120, 855, 375},
     .tabIndex = 1},
    {.name = "Command2",
     .kind = ControlKind::Button,
     .id = idOf(ButtonId::Command2),
     .text = "Com2",
     .enabled = false,
     .toolTip = layout_detail::kPortTip,
     .at = {2400, 600, 855, 375},
     .tabIndex = 2},
    {.name = "Command3",
     .kind = ControlKind::Button,
     .id = idOf(ButtonId::Command3),
     .text = "Com3",
     .enabled = false,
     .toolTip = layout_detail::kPortTip,
     .at = {2400, 1080, 855, 375},
     .tabIndex = 3},
    {.name = "Command4",
     .kind = ControlKind::Button,
     .id = idOf(ButtonId::Command4),
     .text = "Com4",
     .enabled = false,
     .toolTip = layout_detail::kPortTip,
     .at = {2400, 1560, 855, 375},
     .tabIndex = 4},
    {.name = "List1",
     .kind = ControlKind::ListBox,
     .id = idOf(ListId::List1),
     .toolTip = "Processor data stream.",
     .at = {3360, 120, 4215, 3375},
     .tabIndex = 0},
    {.name = "Shape1", .kind = ControlKind::Lamp, .at = {120, 2040, 3135, 1455}},
    // The status text and the set counter are read off the lamp.
    {.name = "Label1",
     .kind = ControlKind::Label,
     .id = idOf(LabelId::Label1),
     .toolTip = "Progress template.",
     .at = {360, 2640, 2055, 255}},
    {.name = "Label4",
     .kind = ControlKind::Label,
     .id = idOf(LabelId::Label4),
     .toolTip = "Obs counter.",
     .at = {2280, 2640, 735, 255}},
    {.name = "Text1",
     .kind = ControlKind::TextBox,
     .id = idOf(TextId::Text1),
     .text = "qN01",
     .toolTip = "Processor subdirectory and file marker (4 char).",
     .at = {120, 3720, 615, 285},
     .tabIndex = 7},
    {.name = "Text2",
     .kind = ControlKind::TextBox,
     .id = idOf(TextId::Text2),
     .toolTip = "Lines count.",
     .at = {840, 3720, 615, 285},
     .tabIndex = 8},
    {.name = "Label3",
     .kind = ControlKind::Label,
     .id = idOf(LabelId::Label3),
     .toolTip = "Processor type.",
     .at = {1680, 3720, 615, 255}},
    {.name = "Command6",
     .kind = ControlKind::Button,
     .id = idOf(ButtonId::Command6),
     .text = "Init",
     .toolTip = "Initialize default support files when Obs # is cleared.",
     .at = {2520, 3720, 615, 255},
     .tabIndex = 13},
    {.name = "Command5",
     .kind = ControlKind::Button,
     .id = idOf(ButtonId::Command5),
     .text = "End now",
     .toolTip = "Stop processing without updating database.",
     .at = {3360, 3720, 855, 255},
     .tabIndex = 9},
    {.name = "Label6", .kind = ControlKind::Label, .text = "Obs #", .at = {4440, 3720, 735, 255}},
    {.name = "Text3",
     .kind = ControlKind::TextBox,
     .id = idOf(TextId::Text3),
     .text = "1",
     .toolTip = "Set number of complete observation sets (groups of 16).",
     .at = {5160, 3720, 615, 285},
     .tabIndex = 10},
    {.name = "Label5",
     .kind = ControlKind::Label,
     .text = "Interval",
     .at = {6120, 3720, 615, 255}},
    {.name = "Text4",
     .kind = ControlKind::TextBox,
     .id = idOf(TextId::Text4),
     .text = "2000",
     .toolTip = "Timing interval.",
     .at = {6840, 3720, 615, 285},
     .tabIndex = 11},
    {.name = "Check1",
     .kind = ControlKind::CheckBox,
     .id = idOf(CheckId::Check1),
     .text = "debug",
     .at = {840, 4200, 855, 255},
     .tabIndex = 14},
    {.name = "Check2",
     .kind = ControlKind::CheckBox,
     .id = idOf(CheckId::Check2),
     .text = "vista fix",
     .ticked = true,
     .at = {840, 4440, 855, 255},
     .tabIndex = 15},
    {.name = "List2",
     .kind = ControlKind::ListBox,
     .id = idOf(ListId::List2),
     .toolTip = "Alarm limits and status.",
     .at = {3360, 4200, 4215, 840},
     .tabIndex = 12},
}};

// Whether the inner rectangle lies wholly within the outer one.
constexpr bool liesWithin(const TwipsRect& inner, const TwipsRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top &&
         inner.left + inner.width <= outer.left + outer.width &&
         inner.top + inner.height <= outer.top + outer.height;
}

}  // namespace meterstation

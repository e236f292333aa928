// The dialog templates of the program: every control with its id, kind,
// text, position and size in dialog units. The dialogs are built from these
// tables at run time, so the tables are the one place where the layout lives.
#pragma once

#include <span>

enum class ControlKind {
  Label,          // static text
  Frame,          // static, etched horizontal line
  GroupBox,
  PushButton,
  DefPushButton,  // the default button: Enter acts on it
  CheckBox,       // automatic check box
  RadioButton,    // automatic radio button
  ComboDropDown,  // editable drop-down combo box
  ComboDropList,  // drop-down list combo box
  Edit,           // edit box with border
};

enum ControlStyle : unsigned {
  kStyleNone = 0,
  kGroup = 1u << 0,       // first control of a group
  kTabStop = 1u << 1,
  kNoPrefix = 1u << 2,    // '&' is shown, not a mnemonic
  kNoWrap = 1u << 3,
  kSunken = 1u << 4,
  kAlignRight = 1u << 5,
  kAlignCentre = 1u << 6,
  kTextLeft = 1u << 7,    // check box with its text left of the box
};

inline constexpr int kNoId = -1;

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* text;
  int x, y, cx, cy;  // dialog units
  unsigned style;
};

struct DialogTemplate {
  int id;
  const char* caption;
  int cx, cy;  // dialog units
  const char* fontName;
  int fontPoints;
  std::span<const ControlTemplate> controls;
};

enum DialogId : int {
  kMainDialogId = 27,
  kOptionsDialogId = 28,
  kPreviewDialogId = 29,
  kCalibrationDialogId = 30,
};

const DialogTemplate& MainDialogTemplate();
const DialogTemplate& OptionsDialogTemplate();
const DialogTemplate& PreviewDialogTemplate();
const DialogTemplate& CalibrationDialogTemplate();

#include "resources/dialog_templates.h"

#include <array>

namespace {

using K = ControlKind;
constexpr const char* kFont = "MS Sans Serif";

constexpr ControlTemplate kMainControls[] = {
    {kNoId, K::Label, "&Primary filter", 13, 7, 60, 8, kStyleNone},
    {102, K::ComboDropDown, "", 95, 4, 40, 64, kTabStop},
    {112, K::CheckBox, "&Reference filter", 13, 22, 60, 12, kTabStop},
    {111, K::ComboDropDown, "", 95, 21, 40, 64, kTabStop},
    {1, K::DefPushButton, "&Measure", 8, 39, 41, 14, kTabStop},
    {107, K::PushButton, "&Filters", 52, 39, 41, 14, kTabStop},
    {108, K::PushButton, "Calib&rate ...", 96, 39, 41, 14, kTabStop},
    {110, K::PushButton, "Plate &IN", 8, 56, 41, 14, kTabStop},
    {113, K::PushButton, "Plate O&UT", 52, 56, 41, 14, kTabStop},
    {109, K::PushButton, "Details", 96, 56, 41, 14, kTabStop},
    {208, K::Label, "Status", 8, 77, 128, 8, kNoWrap | kNoPrefix},
    {103, K::Frame, "", 4, 89, 136, 1, kStyleNone},
    {105, K::PushButton, "&Copy to clipboard", 8, 94, 80, 12, kTabStop},
    {104, K::PushButton, "&Data preview ...", 8, 110, 80, 12, kTabStop},
    {2, K::PushButton, "Close", 97, 94, 38, 28, kTabStop},
    {101, K::Label, "COM", 8, 129, 79, 12, kSunken | kNoPrefix},
    {106, K::PushButton, "&Options ...", 98, 129, 38, 12, kTabStop},
};

constexpr ControlTemplate kOptionsControls[] = {
    {kNoId, K::GroupBox, "After measurement:", 7, 4, 97, 56, kGroup},
    {105, K::CheckBox, "Co&py to clipboard", 14, 16, 76, 12, kTabStop},
    {106, K::CheckBox, "Include &header", 14, 30, 76, 12, kTabStop},
    {107, K::CheckBox, "&View data", 14, 43, 76, 12, kTabStop},
    {kNoId, K::GroupBox, "Type of reader", 7, 64, 96, 40, kGroup},
    {101, K::RadioButton, "&DigiScan", 13, 76, 60, 12, kGroup | kTabStop},
    {102, K::RadioButton, "&Jupiter / Expert", 13, 90, 83, 12, kStyleNone},
    {kNoId, K::GroupBox, "Decimal point delimiter", 8, 108, 96, 24, kGroup},
    {103, K::RadioButton, "Dot", 16, 118, 32, 12, kGroup | kTabStop},
    {104, K::RadioButton, "Comma", 56, 118, 44, 12, kStyleNone},
    {kNoId, K::Label, "&Serial port", 12, 144, 44, 8, kGroup},
    {110, K::ComboDropList, "", 63, 142, 40, 64, kTabStop},
    {1, K::DefPushButton, "OK", 12, 163, 38, 14, kTabStop},
    {2, K::PushButton, "Cancel", 63, 163, 38, 14, kTabStop},
};

// The preview: 96 value cells (102 + 12 * row + column), row labels 101 and
// 198..204, column labels 205..216, the header line 217 and "Close".
constexpr int kPreviewControlCount = 96 + 8 + 12 + 2;

constexpr std::array<ControlTemplate, kPreviewControlCount> MakePreviewControls() {
  constexpr const char* kRowNames[] = {"A", "B", "C", "D", "E", "F", "G", "H"};
  constexpr const char* kColumnNames[] = {"1", "2", "3", "4",  "5",  "6",
                                          "7", "8", "9", "10", "11", "12"};
  std::array<ControlTemplate, kPreviewControlCount> controls{};
  int n = 0;
  for (int column = 0; column < 12; ++column) {
    controls[n++] = {205 + column, K::Label, kColumnNames[column], 19 + 23 * column, 1, 23, 8,
                     kAlignCentre};
  }
  for (int row = 0; row < 8; ++row) {
    const int labelId = row == 0 ? 101 : 197 + row;
    controls[n++] = {labelId, K::Label, kRowNames[row], 8, 11 + 12 * row, 8, 8, kStyleNone};
    for (int column = 0; column < 12; ++column) {
      controls[n++] = {102 + 12 * row + column, K::Label, "-2.888", 19 + 23 * column,
                       10 + 12 * row, 22, 11, kAlignRight | kSunken | kNoPrefix};
    }
  }
  controls[n++] = {217, K::Label, "", 19, 113, 185, 11, kSunken | kNoPrefix};
  controls[n++] = {2, K::PushButton, "Close", 256, 112, 38, 14, kTabStop};
  return controls;
}

constexpr auto kPreviewControls = MakePreviewControls();

constexpr ControlTemplate kCalibrationControls[] = {
    {1, K::DefPushButton, "OK", 7, 99, 38, 14, kTabStop},
    {2, K::PushButton, "Cancel", 58, 99, 38, 14, kTabStop},
    {141, K::CheckBox, "&1", 10, 6, 20, 12, kTabStop | kTextLeft | kAlignCentre},
    {151, K::Edit, "", 41, 6, 28, 12, kTabStop},
    {103, K::Label, "[nm]", 76, 7, 24, 8, kStyleNone},
    {142, K::CheckBox, "&2", 10, 20, 20, 12, kTabStop | kTextLeft | kAlignCentre},
    {152, K::Edit, "", 41, 20, 28, 12, kTabStop},
    {106, K::Label, "[nm]", 76, 22, 24, 8, kStyleNone},
    {143, K::CheckBox, "&3", 10, 35, 20, 12, kTabStop | kTextLeft | kAlignCentre},
    {153, K::Edit, "", 41, 35, 28, 12, kTabStop},
    {109, K::Label, "[nm]", 76, 37, 24, 8, kStyleNone},
    {144, K::CheckBox, "&4", 10, 50, 20, 12, kTabStop | kTextLeft | kAlignCentre},
    {154, K::Edit, "", 41, 50, 28, 12, kTabStop},
    {112, K::Label, "[nm]", 76, 52, 24, 8, kStyleNone},
    {145, K::CheckBox, "&5", 10, 64, 20, 12, kTabStop | kTextLeft | kAlignCentre},
    {155, K::Edit, "", 41, 64, 28, 12, kTabStop},
    {115, K::Label, "[nm]", 76, 66, 24, 8, kStyleNone},
    {146, K::CheckBox, "&6", 10, 78, 20, 12, kTabStop | kTextLeft | kAlignCentre},
    {156, K::Edit, "", 41, 78, 28, 12, kTabStop},
    {118, K::Label, "[nm]", 76, 80, 24, 8, kStyleNone},
};

constexpr DialogTemplate kMain{kMainDialogId, "Vidudu Dovodero Zidezid", 142, 145, kFont, 8,
                               kMainControls};
constexpr DialogTemplate kOptions{kOptionsDialogId, "Platovix Options", 115, 186, kFont, 8,
                                  kOptionsControls};
constexpr DialogTemplate kPreview{kPreviewDialogId, "Platovix Data Preview", 303, 132, kFont, 8,
                                  kPreviewControls};
constexpr DialogTemplate kCalibration{kCalibrationDialogId, "Calibration", 103, 120, kFont, 8,
                                      kCalibrationControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() { return kMain; }
const DialogTemplate& OptionsDialogTemplate() { return kOptions; }
const DialogTemplate& PreviewDialogTemplate() { return kPreview; }
const DialogTemplate& CalibrationDialogTemplate() { return kCalibration; }

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dialogs/template_dialog.h"
#include "link/operator_message.h"
#include "preview/data_preview.h"
#include "preview/preview_save.h"
#include "results/file_time.h"
#include "results/shared_state.h"
#include "tests/results/result_file_parsers.h"
#include "tests/support/qt_app.h"
#include "tests/support/result_state_guard.h"

namespace fs = std::filesystem;
using namespace result_parsers;

namespace {

// The name the stand-in file dialog hands back.
QString& ChosenName() {
  static QString name;
  return name;
}
QString& SuggestedName() {
  static QString name;
  return name;
}
QString ChooseForTest(QWidget*, const QString& suggested) {
  SuggestedName() = suggested;
  return ChosenName();
}

class PreviewSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    char pattern[] = "/tmp/platovix-preview-save-XXXXXX";
    dir_ = mkdtemp(pattern);
    for (int well = 0; well < kWells; ++well) PlateResult.nValue[well] = well * 25 - 300;
    PlateResult.nValue[5] = kNoValue;
    PlateResult.nPrimary = 450;
    PlateResult.nReference = 620;
    std::tm when{};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 7;
    when.tm_hour = 16;
    when.tm_min = 20;
    when.tm_sec = 5;
    PlateResult.ftMeasured = FileTimeFromCalendar(when);
    PlateResult.bValid = 1;
    AppSettings.bDelimComma = 0;
    SetSaveFileChooserForTesting(ChooseForTest);
  }
  void TearDown() override {
    SetSaveFileChooserForTesting(nullptr);
    fs::remove_all(dir_);
  }

  static QPushButton* SaveButton(TemplateDialog& preview) {
    return preview.findChild<QPushButton*>("save");
  }

  void ExpectShownPlate(const std::vector<std::optional<int>>& wells) {
    ASSERT_EQ(wells.size(), size_t(kWells));
    for (int well = 0; well < kWells; ++well) {
      if (well == 5) {
        EXPECT_FALSE(wells[well]);
      } else {
        EXPECT_EQ(wells[well], well * 25 - 300) << "well " << well;
      }
    }
  }

  fs::path dir_;

 private:
  ResultStateGuard guard_;
};

}  // namespace

TEST_F(PreviewSaveTest, SitsBesideCloseWithItsSuggestedName) {
  auto preview = CreateDataPreview(nullptr);
  QPushButton* save = SaveButton(*preview);
  ASSERT_NE(save, nullptr);
  EXPECT_EQ(save->text(), "&Save...");
  const QWidget* close = preview->Item(2);
  EXPECT_EQ(save->geometry().top(), close->geometry().top());
  EXPECT_LT(save->geometry().right(), close->geometry().left());
  EXPECT_GT(save->geometry().left(), preview->Item(217)->geometry().right());

  EXPECT_EQ(DefaultResultFileName(PlateResult), "plate-20261207-162005-450nm.csv");
  TPlateResult untimed = PlateResult;
  untimed.ftMeasured = 0;
  EXPECT_EQ(DefaultResultFileName(untimed), "plate-450nm.csv");
}

TEST_F(PreviewSaveTest, WritesTheShownPlateAsJsonOrCsv) {
  auto preview = CreateDataPreview(nullptr);
  // A later result must not reach the file: the preview shows its snapshot.
  PlateResult.nValue[0] = 4000;

  ChosenName() = QString::fromStdString((dir_ / "plate.json").string());
  QTest::mouseClick(SaveButton(*preview), Qt::LeftButton);
  EXPECT_EQ(SuggestedName(), "plate-20261207-162005-450nm.csv");
  const Json json = ParseJson(ReadWholeFile(dir_ / "plate.json"));
  EXPECT_EQ(json["primary_nm"].number, 450);
  EXPECT_EQ(json["reference_nm"].number, 620);
  std::vector<std::optional<int>> wells;
  for (const Json& row : json["values"].items) {
    for (const Json& cell : row.items) {
      wells.push_back(cell.IsNull() ? std::nullopt : std::optional<int>(int(cell.number)));
    }
  }
  ExpectShownPlate(wells);

  // The same plate as an Allotrope ASM document: each well with a value
  // once, the no-value well left out.
  ChosenName() = QString::fromStdString((dir_ / "plate.asm.json").string());
  QTest::mouseClick(SaveButton(*preview), Qt::LeftButton);
  const std::string document = ReadWholeFile(dir_ / "plate.asm.json");
  EXPECT_NE(document.find("plate-reader/REC/2025/03/plate-reader.manifest"), std::string::npos);
  size_t absorbances = 0;
  for (size_t at = document.find("\"absorbance\""); at != std::string::npos;
       at = document.find("\"absorbance\"", at + 1)) {
    ++absorbances;
  }
  EXPECT_EQ(absorbances, size_t(kWells - 1));

  AppSettings.bDelimComma = 1;
  auto commaPreview = CreateDataPreview(nullptr);
  commaPreview->show();
  QApplication::setActiveWindow(commaPreview.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(commaPreview.get()));
  ChosenName() = QString::fromStdString((dir_ / "plate.csv").string());
  // The mnemonic presses the button visibly, so the click comes a moment later.
  QTest::keyClick(commaPreview.get(), Qt::Key_S, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(dir_ / "plate.csv"); }, 2000));
  const CsvPlate csv = ParseCsvPlate(SplitLines(ReadWholeFile(dir_ / "plate.csv")), ';', ',');
  EXPECT_EQ(csv.metadata.at("completed").rfind("2026-12-07T16:20:05", 0), 0u);
  EXPECT_EQ(csv.wells[0], 4000);  // this preview was opened after the change
  EXPECT_TRUE(commaPreview->isVisible()) << "saving does not close the preview";
}

TEST_F(PreviewSaveTest, CancelWritesNothingAndAFailureShowsTheSystemsText) {
  auto preview = CreateDataPreview(nullptr);
  ChosenName().clear();
  QTest::mouseClick(SaveButton(*preview), Qt::LeftButton);
  EXPECT_TRUE(fs::is_empty(dir_));

  ChosenName() = QString::fromStdString((dir_ / "missing" / "plate.csv").string());
  static std::string title, text;
  const MessageBoxHandler previous =
      SetMessageBoxHandler([](void*, const std::string& boxText, const std::string& caption,
                              MessageIcon icon, MessageButtons) {
        title = caption;
        text = boxText;
        EXPECT_EQ(icon, kIconError);
        return static_cast<int>(kAnswerOk);
      });
  QTest::mouseClick(SaveButton(*preview), Qt::LeftButton);
  SetMessageBoxHandler(previous);
  EXPECT_EQ(title, "Error");
  EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;
  EXPECT_TRUE(fs::is_empty(dir_));
}

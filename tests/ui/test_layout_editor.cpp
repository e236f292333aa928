#include <gtest/gtest.h>
#include <stdlib.h>

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "analysis_ui/layout_editor.h"
#include "analysis_ui/layout_filling.h"
#include "analysis_ui/layout_in_use.h"
#include "dialogs/template_dialog.h"
#include "preview/data_preview.h"
#include "settings/settings.h"
#include "tests/support/result_state_guard.h"
#include "tests/support/temp_home.h"
#include "tests/support/test_paths.h"
#include "tests/ui/analysis_test_plate.h"
#include "tests/ui/ui_test_support.h"

namespace fs = std::filesystem;
using analysis::WellRole;

namespace {

class LayoutEditorTest : public ::testing::Test {
 protected:
  void SetUp() override { TestApp(); }
  QString PathOf(const char* name) const { return QString::fromStdString((dir_ / name).string()); }

  static QPoint CellCentre(QTableWidget* grid, int row, int column) {
    return grid->visualRect(grid->model()->index(row, column)).center();
  }

  TempHome temp_{"layout-editor"};
  const fs::path dir_ = temp_.path();
  ResultStateGuard guard_;
  LayoutChooserStandIn chooser_;
  BoxRecorder boxes_;
};

TEST_F(LayoutEditorTest, DragKeysAndTheDilutionHelperMakeTheLayoutFile) {
  LayoutEditor editor(nullptr);
  EXPECT_EQ(editor.windowTitle(), "Platovix Layout");
  editor.show();
  QTableWidget* grid = editor.Grid();
  QWidget* cells = grid->viewport();

  // Standards: A1 dragged to D2, top 400, factor 2, duplicates side by side.
  editor.findChild<QDoubleSpinBox*>("top")->setValue(400);
  editor.findChild<QDoubleSpinBox*>("factor")->setValue(2);
  editor.findChild<QSpinBox*>("replicates")->setValue(2);
  QTest::mousePress(cells, Qt::LeftButton, {}, CellCentre(grid, 0, 0));
  QTest::mouseMove(cells, CellCentre(grid, 3, 1));
  QTest::mouseRelease(cells, Qt::LeftButton, {}, CellCentre(grid, 3, 1));
  QTest::keyClick(grid, Qt::Key_S);

  // Blanks: a click on E1, Ctrl+click on E2, key b.
  QTest::mouseClick(cells, Qt::LeftButton, {}, CellCentre(grid, 4, 0));
  QTest::mouseClick(cells, Qt::LeftButton, Qt::ControlModifier, CellCentre(grid, 4, 1));
  QTest::keyClick(grid, Qt::Key_B);

  // Samples: the whole of column 3 by its header, duplicates one below the other.
  qobject_cast<QRadioButton*>(editor.findChild<QWidget*>("below"))->setChecked(true);
  QHeaderView* columns = grid->horizontalHeader();
  QTest::mouseClick(columns->viewport(), Qt::LeftButton, {},
                    QPoint(columns->sectionViewportPosition(2) + 5, columns->height() / 2));
  QTest::keyClick(grid, Qt::Key_U);

  // Controls: row H by its header, pairs side by side, then H1 to H3
  // emptied again with Delete.
  qobject_cast<QRadioButton*>(editor.findChild<QWidget*>("sideBySide"))->setChecked(true);
  QHeaderView* rows = grid->verticalHeader();
  QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                    QPoint(rows->width() / 2, rows->sectionViewportPosition(7) + 5));
  qobject_cast<QPushButton*>(editor.findChild<QWidget*>("control"))->click();
  grid->clearSelection();
  for (int column = 0; column < 3; ++column) {
    grid->selectionModel()->select(grid->model()->index(7, column), QItemSelectionModel::Select);
  }
  QTest::keyClick(grid, Qt::Key_Delete);

  LayoutChooserStandIn::Chosen() = PathOf("plate.csv");
  ASSERT_TRUE(editor.SaveFileAs()) << BoxRecorder::Texts();
  const analysis::LayoutParse saved =
      analysis::ReadLayoutFile(LayoutChooserStandIn::Chosen().toStdString());
  ASSERT_TRUE(saved.ok) << saved.error;
  const auto& wells = saved.layout.wells;
  const double levels[] = {400, 200, 100, 50};
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 2; ++column) {
      EXPECT_EQ(wells[row * 12 + column].role, WellRole::Standard);
      EXPECT_EQ(wells[row * 12 + column].concentration, levels[row]) << row << column;
    }
  }
  EXPECT_EQ(wells[48].role, WellRole::Blank);
  EXPECT_EQ(wells[49].role, WellRole::Blank);
  for (int row = 0; row < 7; ++row) {
    EXPECT_EQ(wells[row * 12 + 2].role, WellRole::Sample);
    EXPECT_EQ(wells[row * 12 + 2].name, "S" + std::to_string(row / 2 + 1)) << row;
  }
  for (int column = 0; column < 3; ++column) EXPECT_EQ(wells[84 + column].role, WellRole::Empty);
  EXPECT_EQ(wells[87].name, "C2");
  EXPECT_EQ(wells[88].name, "C3");
  EXPECT_EQ(wells[89].name, "C3");
  EXPECT_EQ(wells[95].name, "C6");
  EXPECT_EQ(wells[60].role, WellRole::Empty);
}

TEST_F(LayoutEditorTest, TheLayoutInUseOutlivesARestartAndTagsThePreview) {
  PlateResult.nPrimary = 450;
  PlateResult.bValid = 1;
  {
    LayoutEditor editor(nullptr);
    editor.Grid()->selectionModel()->select(editor.Grid()->model()->index(0, 0),
                                            QItemSelectionModel::Select);
    editor.SetRole(WellRole::Blank);
    editor.Grid()->clearSelection();
    editor.Grid()->selectionModel()->select(editor.Grid()->model()->index(1, 0),
                                            QItemSelectionModel::Select);
    editor.SetRole(WellRole::Standard);
    LayoutChooserStandIn::Chosen() = PathOf("in use.csv");
    editor.accept();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
  }
  EXPECT_EQ(AppSettings.LayoutFile, LayoutChooserStandIn::Chosen().toStdString());
  SaveSettings();

  AppSettings = TAppSettings{};
  LoadSettings();
  ASSERT_EQ(AppSettings.LayoutFile, LayoutChooserStandIn::Chosen().toStdString());
  const analysis::PlateLayout* layout = LayoutInUse(nullptr);
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->wells[0].role, WellRole::Blank);
  EXPECT_EQ(layout->wells[12].role, WellRole::Standard);

  auto preview = CreateDataPreview(nullptr);
  const auto tag = [&](int well) {
    auto* mark = preview->Item(102 + well)->findChild<QLabel*>("role");
    return mark != nullptr && mark->isVisibleTo(preview.get()) ? mark->text() : QString();
  };
  EXPECT_EQ(tag(0), "B");
  EXPECT_EQ(tag(12), "S");
  EXPECT_EQ(tag(1), "");
  EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();

  // The editor opens on the layout in use.
  LayoutEditor again(nullptr);
  EXPECT_EQ(again.Layout(), *layout);
}

TEST_F(LayoutEditorTest, AGoneOrBrokenLayoutFileWarnsOnceAndIsForgotten) {
  PlateResult.bValid = 1;
  for (const char* content : {"", "Role,1\nnot a layout\n"}) {
    BoxRecorder::Boxes().clear();
    const std::string path = PathOf("was here.csv").toStdString();
    fs::remove(path);
    if (*content != '\0') std::ofstream(path) << content;
    AppSettings.LayoutFile = path;
    auto first = CreateDataPreview(nullptr);
    auto second = CreateDataPreview(nullptr);
    ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
    EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Warning");
    EXPECT_NE(BoxRecorder::Boxes()[0].text.find(path), std::string::npos);
    EXPECT_EQ(AppSettings.LayoutFile, "");
  }
}

TEST_F(LayoutEditorTest, AnUnusableLayoutIsNotSavedAndABadFileNotOpened) {
  LayoutEditor editor(nullptr);
  std::ofstream(PathOf("bad.csv").toStdString()) << "Role,1,2\nA,blank\n";
  LayoutChooserStandIn::Chosen() = PathOf("bad.csv");
  EXPECT_FALSE(editor.OpenFile());
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Warning");

  LayoutChooserStandIn::Chosen().clear();
  EXPECT_FALSE(editor.SaveFileAs()) << "cancelled";
  EXPECT_FALSE(fs::exists(dir_ / "layout.csv"));
  EXPECT_EQ(AppSettings.LayoutFile, "");
}

TEST_F(LayoutEditorTest, TheExampleLayoutOpensAndIsUsedAsItStands) {
  const fs::path example = fs::path(test_paths::SourceDir()) / "examples" / "elisa-layout.csv";
  LayoutEditor editor(nullptr);
  LayoutChooserStandIn::Chosen() = QString::fromStdString(example.string());
  ASSERT_TRUE(editor.OpenFile()) << BoxRecorder::Texts();
  EXPECT_EQ(editor.Grid()->item(2, 0)->text(), "low");
  EXPECT_EQ(editor.Grid()->item(0, 1)->text(), "Std\n1000");
  LayoutChooserStandIn::Chosen().clear();  // an unchanged file is not asked for again
  editor.accept();
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  EXPECT_EQ(AppSettings.LayoutFile, example.string());
}

TEST(LayoutFilling, ReplicatesLieAsChosen) {
  // A 2 x 4 block at B3..C6.
  const std::vector<int> block = {14, 15, 16, 17, 26, 27, 28, 29};
  using Groups = std::vector<std::vector<int>>;
  EXPECT_EQ(layout_filling::ReplicateGroups(block, {true, 2, true}),
            (Groups{{14, 15}, {26, 27}, {16, 17}, {28, 29}}));
  EXPECT_EQ(layout_filling::ReplicateGroups(block, {true, 2, false}),
            (Groups{{14, 26}, {15, 27}, {16, 28}, {17, 29}}));
  EXPECT_EQ(layout_filling::ReplicateGroups(block, {false, 2, true}),
            (Groups{{14, 15}, {16, 17}, {26, 27}, {28, 29}}));
  EXPECT_EQ(layout_filling::ReplicateGroups(block, {false, 1, false}),
            (Groups{{14}, {15}, {16}, {17}, {26}, {27}, {28}, {29}}));

  analysis::PlateLayout layout;
  layout.wells[0].role = WellRole::Sample;
  layout.wells[0].name = "S7";
  layout.wells[5].role = WellRole::Control;
  layout.wells[5].name = "S8";  // a name is a name, whatever the role
  layout_filling::AssignRole(layout, {1, 2, 3}, WellRole::Sample, {false, 2, true});
  EXPECT_EQ(layout.wells[1].name, "S9");
  EXPECT_EQ(layout.wells[2].name, "S9");
  EXPECT_EQ(layout.wells[3].name, "S10") << "a short last group";
  layout_filling::FillDilutionSeries(layout, {0, 1, 2}, 100, 3, {false, 1, true});
  EXPECT_EQ(layout.wells[1].concentration, 33.3333);
  EXPECT_EQ(layout.wells[1].name, "");
}

}  // namespace

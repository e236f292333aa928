// The layout editor's and the analysis window's later additions: wells set
// by hand, standards from a list, remembered series settings, a changed
// layout not lost by Escape, Ctrl+C on the table's selection, and the
// window that stays open and follows the next plate; the blank, controls
// and QC lines as a lab writes them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <array>
#include <filesystem>

#include "analysis/analysis_report.h"
#include "analysis/assay.h"
#include "analysis_ui/analysis_window.h"
#include "analysis_ui/layout_editor.h"
#include "tests/support/result_state_guard.h"
#include "tests/ui/analysis_test_plate.h"
#include "tests/ui/ui_test_support.h"

namespace fs = std::filesystem;
using analysis::WellRole;

namespace {

class AnalysisMends : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    char pattern[] = "/tmp/platovix-analysis-mends-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    AppSettings.LayoutFile.clear();
    AppSettings.bDelimComma = 0;
  }
  void TearDown() override { fs::remove_all(dir_); }

  static void Select(LayoutEditor& editor, std::initializer_list<int> wells) {
    QTableWidget* grid = editor.Grid();
    grid->clearSelection();
    for (int well : wells) {
      grid->selectionModel()->select(grid->model()->index(well / 12, well % 12),
                                     QItemSelectionModel::Select);
    }
  }
  static QLineEdit* Field(QWidget& window, const char* name) {
    return window.findChild<QLineEdit*>(name);
  }

  fs::path dir_;
  ResultStateGuard guard_;
  LayoutChooserStandIn chooser_;
  BoxRecorder boxes_;
};

TEST_F(AnalysisMends, TheEditorSetsWhatOnlyTheFileCouldSetBefore) {
  LayoutEditor editor(nullptr);
  EXPECT_FALSE(editor.Grid()->tabKeyNavigation()) << "Tab leaves the grid";
  editor.findChild<QSpinBox*>("replicates")->setValue(1);

  // Bradford's levels are no constant factor apart; a fifth group has none.
  Field(editor, "levels")->setText("2000, 1500 1000 750");
  Select(editor, {0, 12, 24, 36, 48});
  editor.SetRole(WellRole::Standard);
  const double levels[] = {2000, 1500, 1000, 750};
  for (int level = 0; level < 4; ++level) {
    EXPECT_EQ(editor.Layout().wells[12 * level].concentration, levels[level]);
  }
  EXPECT_EQ(editor.Layout().wells[48].role, WellRole::Empty);
  Field(editor, "levels")->setText("2000 lots");
  Select(editor, {60});
  editor.SetRole(WellRole::Standard);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
  EXPECT_NE(BoxRecorder::Boxes()[0].text.find("\"lots\""), std::string::npos);
  Field(editor, "levels")->clear();

  // One standard's level, a sample pair's name and dilution (decimal
  // comma), a control's range; each field only where its role takes it.
  Select(editor, {1, 2});
  editor.SetRole(WellRole::Sample);
  Select(editor, {3});
  editor.SetRole(WellRole::Control);
  Select(editor, {0});
  Field(editor, "concentration")->setText("1800");
  ASSERT_TRUE(editor.ApplyDetails());
  Select(editor, {1, 2});
  Field(editor, "name")->setText("patient 7");
  Field(editor, "concentration")->setText("5");
  Field(editor, "dilution")->setText("2,5");
  Field(editor, "rangeLow")->setText("40");
  Field(editor, "rangeHigh")->setText("60");
  ASSERT_TRUE(editor.ApplyDetails());
  Select(editor, {3});
  Field(editor, "rangeLow")->setText("40");
  Field(editor, "rangeHigh")->setText("60");
  ASSERT_TRUE(editor.ApplyDetails());
  Field(editor, "name")->setText("patient 7");
  EXPECT_FALSE(editor.ApplyDetails()) << "a sample's name for a control";
  EXPECT_EQ(editor.Layout().wells[3].name, "C1");
  const auto& wells = editor.Layout().wells;
  EXPECT_EQ(wells[0].concentration, 1800);
  EXPECT_EQ(wells[1].name, "patient 7");
  EXPECT_EQ(wells[2].dilution, 2.5);
  EXPECT_EQ(wells[2].concentration, std::nullopt);
  EXPECT_EQ(wells[2].range, std::nullopt);
  EXPECT_EQ(wells[3].dilution, std::nullopt);
  EXPECT_EQ(wells[3].range, (analysis::ExpectedRange{40, 60}));
  Select(editor, {1, 2});
  EXPECT_EQ(Field(editor, "dilution")->text(), "2.5") << "the selection's shared values";
  Field(editor, "rangeLow")->setText("1");
  Field(editor, "rangeHigh")->clear();
  EXPECT_FALSE(editor.ApplyDetails());
  EXPECT_EQ(BoxRecorder::Boxes().back().text, "Range: give both ends.");
  const analysis::LayoutParse back = analysis::ParseLayout(analysis::WriteLayout(editor.Layout()));
  ASSERT_TRUE(back.ok) << back.error;
  EXPECT_EQ(back.layout, editor.Layout());

  // A changed layout survives Escape unless the operator lets it go.
  editor.show();
  BoxRecorder::Answer() = kAnswerCancel;
  QTest::keyClick(&editor, Qt::Key_Escape);
  EXPECT_TRUE(editor.isVisible());
  EXPECT_EQ(BoxRecorder::Boxes().back().buttons, kButtonsOkCancel);
  BoxRecorder::Answer() = kAnswerOk;
  editor.reject();
  EXPECT_EQ(editor.result(), QDialog::Rejected);
  EXPECT_FALSE(editor.isVisible());

  // The series settings are those of the last editor.
  editor.findChild<QSpinBox*>("replicates")->setValue(3);
  LayoutEditor next(nullptr);
  EXPECT_EQ(next.findChild<QSpinBox*>("replicates")->value(), 3);
  next.findChild<QSpinBox*>("replicates")->setValue(2);
}

TEST_F(AnalysisMends, TheWindowStaysOpenFollowsThePlateAndCopiesTheSelection) {
  const std::string layoutPath = (dir_ / "elisa.csv").string();
  const analysis::PlateLayout layout = TestLayout();
  ASSERT_TRUE(analysis::SaveLayoutFile(layoutPath, layout, nullptr));
  AppSettings.LayoutFile = layoutPath;
  FillTestPlate(layout, PlateResult);

  QWidget owner;
  AnalysisWindow* window = ShowAnalysisWindow(&owner, {PlateResult, {}, "one.csv"});
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isModal());
  auto* table = window->findChild<QTableWidget*>("results");
  const QString before = table->item(8, 3)->text();

  for (int well = 2; well < 84; ++well) PlateResult.nValue[well] += 100;  // not the blanks
  EXPECT_EQ(ShowAnalysisWindow(&owner, {PlateResult, {}, "two.csv"}), window) << "one window";
  EXPECT_NE(table->item(8, 3)->text(), before) << "the new plate's mean";

  // Ctrl+C: the selected cells under their columns' header.
  table->clearSelection();
  table->setSelectionMode(QAbstractItemView::MultiSelection);
  table->selectionModel()->select(table->model()->index(7, 0), QItemSelectionModel::Select);
  table->selectionModel()->select(table->model()->index(7, 3), QItemSelectionModel::Select);
  table->selectionModel()->select(table->model()->index(8, 3), QItemSelectionModel::Select);
  QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "Name\tMean\r\nS1\t" + table->item(7, 3)->text() +
                                                      "\r\n\t" + table->item(8, 3)->text() +
                                                      "\r\n");

  // A well left out stays listed, struck out; the parameter line and the
  // axes take the decimal comma; the linear axis ticks at round values
  // from zero.
  window->ToggleExcludedWell(24, "bubble");
  ASSERT_EQ(window->Result()->excluded.size(), 1u);
  auto* struck = table->cellWidget(2, 2) != nullptr ? qobject_cast<QLabel*>(table->cellWidget(2, 2))
                                                    : window->findChild<QLabel*>("excludedWells");
  ASSERT_NE(struck, nullptr);
  EXPECT_TRUE(struck->text().contains("<s>C1</s>")) << struck->text().toStdString();
  EXPECT_TRUE(struck->toolTip().contains("bubble"));
  AppSettings.bDelimComma = 1;
  window->findChild<QCheckBox*>("logarithmic")->setChecked(false);
  window->SetPlate({PlateResult, {}, "three.csv"});
  EXPECT_TRUE(window->Result()->excluded.empty()) << "a new plate, no exclusions";
  const QString fit = window->findChild<QLabel*>("fit")->text();
  EXPECT_TRUE(fit.contains(QRegularExpression("R² = 0,9"))) << fit.toStdString();
  QChart* chart = window->findChild<QChartView*>("curve")->chart();
  auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
  ASSERT_NE(x, nullptr);
  EXPECT_LT(x->min(), 0) << "the zero level whole";
  EXPECT_GT(x->max(), 1000) << "the top level whole";
  EXPECT_EQ(x->tickInterval(), 200);
  EXPECT_EQ(chart->locale().decimalPoint(), ",");

  window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(OpenAnalysisWindow(), nullptr);
}

}  // namespace

// The blank with three decimals, controls from the low to the high one, the
// QC lines in the decimal comma chosen, and a rule with nothing to check
// counted neither as passed nor as failed.
TEST_F(AnalysisMends, BlankControlsAndQcLinesReadAsALabWritesThem) {
  analysis::PlateLayout layout = TestLayout();
  // Two controls whose names run against their levels.
  layout.wells[94] = {WellRole::Control, "QC1", std::nullopt, std::nullopt,
                      analysis::ExpectedRange{400.5, 600}};
  layout.wells[95] = {WellRole::Control, "QC2", std::nullopt, std::nullopt,
                      analysis::ExpectedRange{100, 200}};
  ShownPlate shown{{}, {"DigiScan", "12345", {}, {}}, "plate-450nm.csv"};
  FillTestPlate(layout, shown.plate);
  shown.plate.nValue[84] = shown.plate.nValue[85] = 50;  // the blank: 0.05
  analysis::Assay assay = analysis::NewAssay("Mends", layout);
  assay.qc.blankMax = 0.01;
  shown.assay = assay;
  AppSettings.bDelimComma = 1;

  AnalysisWindow window(nullptr, shown);
  const QString fit = window.findChild<QLabel*>("fit")->text();
  EXPECT_TRUE(fit.startsWith("Blank 0,050 (mean of 2 wells) subtracted.")) << fit.toStdString();
  const QString verdict = window.findChild<QLabel*>("verdict")->text();
  EXPECT_TRUE(verdict.contains("Blank: mean 0,050 OD above 0,010")) << verdict.toStdString();
  EXPECT_TRUE(verdict.contains("not in 400,5–600")) << verdict.toStdString();
  EXPECT_FALSE(verdict.contains("0.0")) << verdict.toStdString();

  auto* table = window.findChild<QTableWidget*>("results");
  int low = -1, high = -1;
  for (int row = 0; row < table->rowCount(); ++row) {
    if (table->item(row, 0)->text() == "QC2") low = row;
    if (table->item(row, 0)->text() == "QC1") high = row;
  }
  ASSERT_GE(low, 0);
  EXPECT_EQ(high, low + 1) << "QC2 (100-200) comes before QC1 (400.5-600)";

  // Without a control the controls rule has nothing to check.
  layout.wells[94] = layout.wells[95] = {};
  assay.qc = analysis::QcRules{};
  std::array<int32_t, kWells> values;
  std::copy(std::begin(shown.plate.nValue), std::end(shown.plate.nValue), values.begin());
  const analysis::PlateAnalysis result = analysis::AnalysePlate(values, layout, assay.Options());
  ASSERT_TRUE(result.qc);
  const std::string csv = analysis::AnalysisCsv(result, true);
  EXPECT_NE(csv.find("qc controls;not applicable;Controls: no control with a range to check"),
            std::string::npos)
      << csv;
  EXPECT_NE(
      analysis::AnalysisJson(result).dump().find(
          R"("rule":"controls","passed":true,"detail":"Controls: no control with a range to check","applicable":false)"),
      std::string::npos);
}

// The analysis windows as an operator meets them beside each other: the
// analysis window answers while the preview is open, an aborted or failed
// read is never shown as data, the window names the read it shows and its
// Flag column fits, and the assay window keeps changes until the operator
// lets them go.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <memory>

#include "analysis/assay.h"
#include "analysis_ui/analysis_window.h"
#include "analysis_ui/assay_in_use.h"
#include "analysis_ui/assay_window.h"
#include "analysis_ui/layout_editor.h"
#include "dialogs/template_dialog.h"
#include "preview/data_preview.h"
#include "results/file_time.h"
#include "tests/archive/archive_samples.h"
#include "tests/ui/analysis_test_plate.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_dialog.h"

namespace {

constexpr int kFirstCellId = 102, kHeaderLineId = 217;

class WindowMends : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    AppSettings.nComPort = 1;
    AppSettings.ArchiveUrl = folder_.path() + "/archive.sqlite";
  }
  void TearDown() override {
    if (AnalysisWindow* window = OpenAnalysisWindow()) delete window;
    UseNoAssay();
    ResetProgramState();
  }
  // Read on 9 December 2026 at 14:20:05, analysed with an assay.
  static ShownPlate AssayPlate() {
    ShownPlate shown{PlateResult, {}, "plate.csv"};
    shown.assay = analysis::NewAssay("Test kit", TestLayout());
    FillTestPlate(shown.assay->layout, shown.plate);
    std::tm when{};
    when.tm_year = 126;
    when.tm_mon = 11;
    when.tm_mday = 9;
    when.tm_hour = 14;
    when.tm_min = 20;
    when.tm_sec = 5;
    shown.plate.ftMeasured = FileTimeFromCalendar(when);
    return shown;
  }

  archive_samples::TempFolder folder_;
  BoxRecorder boxes_;
};

TEST_F(WindowMends, TheAnalysisWindowAnswersWhileThePreviewIsOpen) {
  MainDialog dialog;
  dialog.show();
  PlateResult = AssayPlate().plate;  // as a read leaves it
  AnalysisWindow* analysis = ShowAnalysisWindow(&dialog, AssayPlate());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(analysis));
  // A modal preview would hold the test here; should one open, it is closed.
  ModalWatcher modal([](QWidget* window) { window->close(); });
  qobject_cast<QPushButton*>(dialog.Item(kPreviewButton))->click();
  EXPECT_EQ(modal.Seen(), 0) << "the preview does not block the analysis window";
  TemplateDialog* preview = nullptr;
  for (TemplateDialog* window : dialog.findChildren<TemplateDialog*>()) {
    if (window->windowTitle() == "Platovix Data Preview") preview = window;
  }
  ASSERT_NE(preview, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
  EXPECT_TRUE(preview->ItemText(kHeaderLineId).contains("     2026-12-09  "))
      << "an ISO date: " << preview->ItemText(kHeaderLineId).toStdString();

  // A click in the analysis window reaches it with the preview open.
  QGuiApplication::clipboard()->clear();
  QTest::mouseClick(analysis->findChild<QPushButton*>("copy"), Qt::LeftButton);
  EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith("Name\t"))
      << QGuiApplication::clipboard()->text().toStdString();

  // Its Flag column is in sight at the window's own size.
  const auto* table = analysis->findChild<QTableWidget*>("results");
  const QHeaderView* header = table->horizontalHeader();
  const int flag = table->columnCount() - 1;
  ASSERT_EQ(table->horizontalHeaderItem(flag)->text(), "Flag");
  int widest = header->fontMetrics().horizontalAdvance(QStringLiteral("Flag"));
  for (int row = 0; row < table->rowCount(); ++row) {
    if (const QTableWidgetItem* item = table->item(row, flag)) {
      widest = std::max(widest, table->fontMetrics().horizontalAdvance(item->text()));
    }
  }
  EXPECT_LE(header->sectionViewportPosition(flag) + widest, table->viewport()->width())
      << "Flag starts at " << header->sectionViewportPosition(flag) << " of "
      << table->viewport()->width();
  EXPECT_EQ(analysis->findChild<QLabel*>("readName")->text(),
            "no plate ID · read 2026-12-09 14:20:05 · plate.csv");
  EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();
}

TEST_F(WindowMends, AnAbortedOrFailedReadIsNeverShownAsData) {
  ShownPlate aborted = AssayPlate();
  aborted.status = "aborted";
  aborted.plateId = "P-9";
  aborted.archiveUuid = "1a2b3c4d-0000-4000-8000-000000000000";
  std::unique_ptr<TemplateDialog> preview = CreateDataPreview(nullptr, aborted);
  preview->show();
  EXPECT_EQ(preview->windowTitle(), "Platovix Data Preview - Aborted read");
  const auto* banner = preview->findChild<QLabel*>("unfinishedRead");
  ASSERT_NE(banner, nullptr);
  EXPECT_TRUE(banner->isVisible());
  EXPECT_EQ(banner->text(), "Aborted read: no valid data");
  for (int well = 0; well < kWells; ++well) {
    EXPECT_EQ(preview->ItemText(kFirstCellId + well), "") << "well " << well;
    EXPECT_FALSE(preview->Item(kFirstCellId + well)->isEnabled()) << "greyed, well " << well;
  }
  EXPECT_FALSE(preview->findChild<QWidget*>("heatMap")->isEnabled());

  AnalysisWindow window(nullptr, aborted);
  window.show();
  EXPECT_EQ(window.Result(), nullptr) << "nothing analysed";
  EXPECT_FALSE(window.findChild<QLabel*>("verdict")->isVisible());
  EXPECT_FALSE(window.findChild<QLabel*>("notice")->isVisible()) << "no layout is missing";
  EXPECT_EQ(window.findChild<QTableWidget*>("results")->rowCount(), 0);
  EXPECT_FALSE(window.findChild<QPushButton*>("exclude")->isEnabled());
  EXPECT_EQ(window.findChild<QLabel*>("unfinishedRead")->text(), "Aborted read: no valid data");
  EXPECT_EQ(window.findChild<QLabel*>("readName")->text(),
            "Plate ID P-9 · read 2026-12-09 14:20:05 · record 1a2b3c4d");

  // The same window on a completed plate: the verdict is back, the banner gone.
  window.SetPlate(AssayPlate());
  EXPECT_NE(window.Result(), nullptr);
  EXPECT_TRUE(window.findChild<QLabel*>("verdict")->isVisible());
  EXPECT_FALSE(window.findChild<QLabel*>("unfinishedRead")->isVisible());

  ShownPlate failed = AssayPlate();
  failed.status = "failed";
  failed.statusMessage = "Reader not responding.";
  window.SetPlate(failed);
  EXPECT_FALSE(window.findChild<QLabel*>("verdict")->isVisible());
  EXPECT_EQ(window.findChild<QLabel*>("unfinishedRead")->text(),
            "Failed read: no valid data (Reader not responding.)");
  std::unique_ptr<TemplateDialog> failedPreview = CreateDataPreview(nullptr, failed);
  EXPECT_EQ(failedPreview->windowTitle(), "Platovix Data Preview - Failed read");
}

// Escape, Cancel and Save as on an assay opened from its file.
TEST_F(WindowMends, TheAssayWindowKeepsChangesUntilTheOperatorLetsThemGo) {
  analysis::Assay kit = analysis::NewAssay("Test kit", TestLayout());
  kit.version = "1";
  const std::string path = folder_.path() + "/kit.json";
  std::string error;
  ASSERT_TRUE(analysis::SaveAssayFile(path, kit, &error)) << error;
  UseAssay(path, kit);

  {  // Unchanged: Escape closes without a question.
    AssayWindow window(nullptr);
    window.show();
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();
  }
  {  // A changed rule: Escape and Cancel ask; "Cancel" keeps the window.
    AssayWindow window(nullptr);
    window.show();
    window.findChild<QDoubleSpinBox*>("cvMax")->setValue(12);
    BoxRecorder::Answer() = kAnswerCancel;
    QTest::keyClick(&window, Qt::Key_Escape);
    ASSERT_EQ(BoxRecorder::Boxes().size(), 1u);
    EXPECT_EQ(BoxRecorder::Boxes()[0].text, "Discard the changes to this assay?");
    EXPECT_EQ(BoxRecorder::Boxes()[0].buttons, kButtonsOkCancel);
    EXPECT_TRUE(window.isVisible());
    QPushButton* cancel = nullptr;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
      if (button->text().remove('&') == "Cancel") cancel = button;
    }
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_EQ(BoxRecorder::Boxes().size(), 2u);
    EXPECT_TRUE(window.isVisible());
    BoxRecorder::Answer() = kAnswerOk;
    cancel->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
  }
  BoxRecorder::Boxes().clear();
  {  // A changed layout counts as a change too.
    AssayWindow window(nullptr);
    window.show();
    ModalWatcher editor([](QWidget* modal) {
      auto* layout = qobject_cast<LayoutEditor*>(modal);
      if (layout == nullptr) return;
      layout->Grid()->setCurrentCell(0, 0);
      layout->SetRole(analysis::WellRole::Blank);
      layout->accept();
    });
    window.findChild<QPushButton*>("layout")->click();
    ASSERT_EQ(editor.Seen(), 1);
    EXPECT_TRUE(window.Changed());
    BoxRecorder::Answer() = kAnswerCancel;
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
    EXPECT_TRUE(window.isVisible());
    BoxRecorder::Answer() = kAnswerOk;
  }
  BoxRecorder::Boxes().clear();
  {  // Save as: a changed assay gets a new name or version before a file.
    LayoutChooserStandIn chooser;
    LayoutChooserStandIn::Chosen() = QString::fromStdString(folder_.path() + "/kit-2.json");
    AssayWindow window(nullptr);
    window.show();
    window.findChild<QDoubleSpinBox*>("cvMax")->setValue(12);
    bool okWhileSame = true;
    ModalWatcher ask([&okWhileSame](QWidget* modal) {
      if (modal->objectName() != "newNameOrVersion") return;
      QPushButton* ok = nullptr;
      for (QPushButton* button : modal->findChildren<QPushButton*>()) {
        if (button->text().remove('&') == "OK") ok = button;
      }
      ASSERT_NE(ok, nullptr);
      okWhileSame = ok->isEnabled();
      modal->findChild<QLineEdit*>("newVersion")->setText("2");
      EXPECT_TRUE(ok->isEnabled());
      ok->click();
    });
    window.findChild<QPushButton*>("saveAs")->click();
    EXPECT_FALSE(okWhileSame) << "the same name and version are refused";
    EXPECT_EQ(window.result(), QDialog::Accepted);
    const analysis::AssayParse saved = analysis::ReadAssayFile(folder_.path() + "/kit-2.json");
    ASSERT_TRUE(saved.ok) << saved.message;
    EXPECT_EQ(saved.assay.name, "Test kit");
    EXPECT_EQ(saved.assay.version, "2");
    EXPECT_EQ(saved.assay.qc.cvMax, 12);
    const analysis::AssayParse original = analysis::ReadAssayFile(path);
    ASSERT_TRUE(original.ok) << original.message;
    EXPECT_EQ(original.assay, kit) << "the first file stays as it was";
  }
  EXPECT_TRUE(BoxRecorder::Boxes().empty()) << BoxRecorder::Texts();
}

}  // namespace

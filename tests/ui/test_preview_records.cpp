// The preview and the analysis window know the archive record of the read
// they show: an assayed desktop read is stored with its assay, analysis and
// verdict, its report names the record, and a plate ID, a comment, an
// excluded well and a re-analysis are audit entries with their reasons.
// The preview's Open brings back what was saved.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "analysis/assay.h"
#include "analysis_ui/analysis_window.h"
#include "analysis_ui/report_actions.h"
#include "analysis_ui/shown_plate.h"
#include "archive/archive_store.h"
#include "archive_ui/desktop_archive.h"
#include "dialogs/template_dialog.h"
#include "preview/data_preview.h"
#include "preview/preview_record.h"
#include "preview/shown_plate_holder.h"
#include "sim/reader_simulator.h"
#include "tests/support/command_output.h"
#include "tests/support/temp_home.h"
#include "tests/support/test_paths.h"
#include "tests/ui/analysis_test_plate.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_dialog.h"

namespace fs = std::filesystem;

namespace {

QString& Chosen() {
  static QString name;
  return name;
}
QString ChooseForTest(QWidget*, const QString& = {}) {
  return Chosen();
}

std::unique_ptr<archive::Archive> OpenArchive() {
  std::vector<std::string> messages;
  std::string error;
  return archive::OpenArchiveForReading({}, &messages, &error);
}

std::vector<archive::AuditEntry> Audits(const std::string& readUuid) {
  std::vector<archive::AuditEntry> entries;
  std::string error;
  if (auto archive = OpenArchive()) archive->AuditTrail(readUuid, &entries, &error);
  return entries;
}

std::string PdfText(const fs::path& pdf) {
  return CommandOutput("pdftotext \'" + pdf.string() + "\' - 2>/dev/null");
}

// Answers the next reason dialogs: reason typed and OK, or Cancel when empty.
class ReasonAnswer {
 public:
  explicit ReasonAnswer(std::string reason)
      : watcher_([reason](QWidget* modal) {
          auto* dialog = qobject_cast<QDialog*>(modal);
          ASSERT_EQ(modal->objectName(), "auditReason");
          if (reason.empty()) {
            dialog->reject();
            return;
          }
          auto* field = modal->findChild<QLineEdit*>("reason");
          field->setText(QString::fromStdString(reason));
          dialog->accept();
        }) {}
  int Seen() const { return watcher_.Seen(); }

 private:
  ModalWatcher watcher_;
};

class PreviewRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    layout_ = TestLayout();
    FillTestPlate(layout_, PlateResult);
    SetReportFileChooserForTesting([](QWidget*, const QString&) { return Chosen(); });
    SetOpenFileChooserForTesting([](QWidget* parent) { return ChooseForTest(parent); });
  }
  void TearDown() override {
    if (AnalysisWindow* window = OpenAnalysisWindow()) delete window;
    SetReportFileChooserForTesting(nullptr);
    SetOpenFileChooserForTesting(nullptr);
    SetLastArchivedRecord({});
    ResetProgramState();
  }

  // A read as the desktop stored it, shown with its record.
  ShownPlate StoredPlate() {
    archive::PlateRead read;
    read.uuid = archive::NewUuid();
    read.operatorName = archive::LoginName();
    read.primaryNm = PlateResult.nPrimary;
    std::copy(std::begin(PlateResult.nValue), std::end(PlateResult.nValue), read.values.begin());
    EXPECT_TRUE(archive::StoreRead(DesktopStoreConfig(), read).stored);
    ShownPlate shown = LastShownPlate();
    shown.archiveUuid = read.uuid;
    shown.archiveHash = archive::ContentHash(read);
    shown.operatorName = read.operatorName;
    return shown;
  }

  static void EnterPlateId(TemplateDialog& preview, const QString& id) {
    auto* field = preview.findChild<QLineEdit*>("plateId");
    field->setText(id);
    QTest::keyClick(field, Qt::Key_Return);
  }

  TempHome temp_{"preview-records", TempHome::Layout::AllInHome};
  const fs::path dir_ = temp_.path();
  analysis::PlateLayout layout_;
  BoxRecorder boxes_;
};

TEST_F(PreviewRecords, AnAssayedReadIsStoredWithItsAnalysisAndThePreviewReportsItsRecord) {
  analysis::AssayParse made = analysis::AssayFromLayoutFile(
      (fs::path(test_paths::SourceDir()) / "examples" / "elisa-layout.csv").string());
  ASSERT_TRUE(made.ok) << made.message;
  made.assay.reading.primary = 450;
  const std::string assayPath = (dir_ / "elisa.json").string();
  ASSERT_TRUE(analysis::SaveAssayFile(assayPath, made.assay, nullptr));
  AppSettings.AssayFile = assayPath;

  sim::Options options;
  options.scenario = sim::PlateScenario::Elisa;
  options.measureMs = 200;
  sim::PtySimulator reader(options);
  PortMap.szDevice[1] = reader.slavePath();
  AppSettings.nComPort = 1;
  AppSettings.bAutoView = 1;
  MainDialog dialog;
  dialog.show();
  Chosen() = QString::fromStdString((dir_ / "read.pdf").string());
  ModalWatcher preview([](QWidget* modal) {
    auto* shown = static_cast<TemplateDialog*>(modal);
    shown->findChild<QPushButton*>("report")->click();
    shown->SendCommand(2);
  });
  qobject_cast<QPushButton*>(dialog.Item(kMeasureButton))->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return preview.Seen() == 1; }, 30000));

  std::vector<archive::ReadSummary> reads;
  std::string error;
  auto archive = OpenArchive();
  ASSERT_TRUE(archive && archive->ListReads({}, false, &reads, &error)) << error;
  ASSERT_EQ(reads.size(), 1u);
  archive::PlateRead read;
  ASSERT_TRUE(archive->GetRead(reads[0].uuid, &read, &error)) << error;
  EXPECT_EQ(read.assayName, made.assay.name);
  EXPECT_EQ(read.assayJson, analysis::WriteAssay(made.assay));
  EXPECT_NE(read.analysisJson.find("\"fit\""), std::string::npos);
  EXPECT_TRUE(read.verdict == "Pass" || read.verdict == "Fail") << read.verdict;
  EXPECT_EQ(LastArchivedRecord().uuid, read.uuid);

  const std::string pdf = PdfText(dir_ / "read.pdf");
  EXPECT_NE(pdf.find(read.uuid), std::string::npos) << pdf;
  EXPECT_NE(pdf.find(archive::ContentHash(read)), std::string::npos) << pdf;
  EXPECT_EQ(BoxRecorder::Texts(), "");
}

TEST_F(PreviewRecords, PlateIdAndCommentAreAuditEntriesAndEnterKeepsThePreviewOpen) {
  const ShownPlate stored = StoredPlate();
  auto preview = CreateDataPreview(nullptr, stored);
  preview->show();

  EnterPlateId(*preview, "P-0042");  // a scanner: the code, then Enter
  EXPECT_TRUE(preview->isVisible());
  std::vector<archive::AuditEntry> audits = Audits(stored.archiveUuid);
  ASSERT_EQ(audits.size(), 1u);
  EXPECT_EQ(audits[0].what, "plate ID");
  EXPECT_EQ(audits[0].detail, "P-0042");
  EXPECT_EQ(audits[0].why, "entered after the read");
  EXPECT_EQ(audits[0].who, archive::LoginName());
  EXPECT_EQ(KeptShownPlate(*preview)->plateId, "P-0042");

  {
    ReasonAnswer cancel("");
    EnterPlateId(*preview, "P-0043");
    EXPECT_EQ(cancel.Seen(), 1);
  }
  EXPECT_EQ(preview->findChild<QLineEdit*>("plateId")->text(), "P-0042") << "the old one kept";
  EXPECT_EQ(Audits(stored.archiveUuid).size(), 1u);
  {
    ReasonAnswer reason("label misread");
    EnterPlateId(*preview, "P-0043");
    EXPECT_EQ(reason.Seen(), 1);
  }
  {
    ReasonAnswer comment("bubbles in C3");
    preview->findChild<QPushButton*>("comment")->click();
  }
  audits = Audits(stored.archiveUuid);
  ASSERT_EQ(audits.size(), 3u);
  EXPECT_EQ(audits[1].why, "label misread");
  EXPECT_EQ(audits[1].detail, "P-0043");
  EXPECT_EQ(audits[2].what, "comment");
  EXPECT_EQ(audits[2].detail, "bubbles in C3");

  // The report made afterwards carries the new ID.
  Chosen() = QString::fromStdString((dir_ / "id.pdf").string());
  preview->findChild<QPushButton*>("report")->click();
  EXPECT_NE(PdfText(dir_ / "id.pdf").find("P-0043"), std::string::npos);
  EXPECT_EQ(BoxRecorder::Texts(), "");

  // A plate from nowhere takes an ID without entries or questions.
  auto unarchived = CreateDataPreview(nullptr);
  unarchived->show();
  EnterPlateId(*unarchived, "free");
  EXPECT_EQ(KeptShownPlate(*unarchived)->plateId, "free");
  EXPECT_FALSE(unarchived->findChild<QPushButton*>("comment")->isEnabled());
}

TEST_F(PreviewRecords, ExcludedWellsAndReanalysisOfAnArchivedReadAreAuditEntries) {
  const std::string layoutPath = (dir_ / "layout.csv").string();
  ASSERT_TRUE(analysis::SaveLayoutFile(layoutPath, layout_, nullptr));
  AppSettings.LayoutFile = layoutPath;
  AppSettings.Fit = "4pl";
  AppSettings.Weight = "none";
  const ShownPlate stored = StoredPlate();
  AnalysisWindow window(nullptr, stored);
  window.show();
  window.ToggleExcludedWell(4, "outlier");
  window.ToggleExcludedWell(4, "pipetting checked");

  auto* model = window.findChild<QComboBox*>("model");
  const auto choose = [model](const char* value) {
    const int index = model->findData(QString::fromLatin1(value));
    model->setCurrentIndex(index);
    emit model->activated(index);
  };
  {
    ReasonAnswer cancel("");
    choose("linear");
    EXPECT_EQ(cancel.Seen(), 1);
  }
  EXPECT_EQ(model->currentData().toString(), "4pl") << "Cancel takes the choice back";
  EXPECT_EQ(AppSettings.Fit, "4pl");
  {
    ReasonAnswer reason("5PL fits the top better");
    choose("5pl");
  }
  const std::vector<archive::AuditEntry> audits = Audits(stored.archiveUuid);
  ASSERT_EQ(audits.size(), 3u);
  EXPECT_EQ(audits[0].what, "well excluded");
  EXPECT_EQ(audits[0].detail, "A5");
  EXPECT_EQ(audits[0].why, "outlier");
  EXPECT_EQ(audits[1].what, "well included");
  EXPECT_EQ(audits[1].why, "pipetting checked");
  EXPECT_EQ(audits[2].what, "re-analysis");
  EXPECT_EQ(audits[2].why, "5PL fits the top better");
  const nlohmann::json detail = nlohmann::json::parse(audits[2].detail);
  EXPECT_EQ(detail["model"], "5pl");
  EXPECT_EQ(detail["analysis"]["fit"]["model"], "5pl");
}

// An archive that can keep the audit entry neither in itself nor in a
// spool: the plate ID, the excluded well and the re-analysis are not made,
// and the box says so each time.
TEST_F(PreviewRecords, AChangeWhoseAuditEntryCannotBeKeptIsNotMade) {
  const std::string layoutPath = (dir_ / "layout.csv").string();
  ASSERT_TRUE(analysis::SaveLayoutFile(layoutPath, layout_, nullptr));
  AppSettings.LayoutFile = layoutPath;
  AppSettings.Fit = "4pl";
  AppSettings.Weight = "none";
  const ShownPlate stored = StoredPlate();
  auto preview = CreateDataPreview(nullptr, stored);
  preview->show();
  AnalysisWindow window(nullptr, stored);
  window.show();
  AppSettings.ArchiveUrl = "/dev/null/archive.sqlite";
  setenv("XDG_STATE_HOME", "/dev/null/state", 1);  // no spool either; TempHome puts it back

  EnterPlateId(*preview, "P-0042");
  EXPECT_EQ(preview->findChild<QLineEdit*>("plateId")->text().toStdString(), stored.plateId);
  EXPECT_EQ(KeptShownPlate(*preview)->plateId, stored.plateId);
  window.ToggleExcludedWell(4, "outlier");
  EXPECT_TRUE(window.Shown().excluded.empty());
  auto* model = window.findChild<QComboBox*>("model");
  {
    ReasonAnswer reason("5PL fits the top better");
    const int index = model->findData(QStringLiteral("5pl"));
    model->setCurrentIndex(index);
    emit model->activated(index);
  }
  EXPECT_EQ(AppSettings.Fit, "4pl");
  EXPECT_EQ(model->currentData().toString(), "4pl");
  ASSERT_EQ(BoxRecorder::Boxes().size(), 3u) << BoxRecorder::Texts();
  for (const auto& box : BoxRecorder::Boxes()) {
    EXPECT_NE(box.text.find("The change is not made"), std::string::npos) << box.text;
  }
  AppSettings.ArchiveUrl = "";
  EXPECT_TRUE(Audits(stored.archiveUuid).empty());
}

TEST_F(PreviewRecords, OpenShowsSavedFilesAsTheyWereAndRefusesAGarbledOne) {
  PlateResult.nValue[7] = kNoValue;
  const ShownPlate shown = LastShownPlate();
  std::string error;
  const std::string csv = (dir_ / "plate.csv").string();
  const std::string json = (dir_ / "plate.json").string();
  const std::string book = (dir_ / "plate.xlsx").string();
  ASSERT_TRUE(SaveResultFile(csv, shown.plate, shown.context, false, &error)) << error;
  ASSERT_TRUE(SaveResultFile(json, shown.plate, shown.context, false, &error)) << error;
  ASSERT_TRUE(SaveWorkbook(book, shown, &layout_, &error)) << error;
  // platovix-cli measure's kinetic output: a series of plates in one file.
  const std::string series = (dir_ / "series.json").string();
  {
    std::ifstream in(json);
    const std::string one((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(series) << "[" << one << "," << one << "]";
  }

  auto preview = CreateDataPreview(nullptr);
  for (const std::string& path : {csv, json, book, series}) {
    Chosen() = QString::fromStdString(path);
    preview->findChild<QPushButton*>("open")->click();
    auto* opened = preview->findChild<TemplateDialog*>("openedPreview");
    ASSERT_NE(opened, nullptr) << path << BoxRecorder::Texts();
    const ShownPlate* plate = KeptShownPlate(*opened);
    EXPECT_TRUE(std::equal(std::begin(plate->plate.nValue), std::end(plate->plate.nValue),
                           std::begin(shown.plate.nValue)))
        << path;
    EXPECT_EQ(plate->plate.nPrimary, shown.plate.nPrimary) << path;
    EXPECT_TRUE(plate->archiveUuid.empty());
    delete opened;
  }
  ASSERT_EQ(BoxRecorder::Boxes().size(), 1u) << BoxRecorder::Texts();
  EXPECT_NE(BoxRecorder::Texts().find("2 plates; the first is shown"), std::string::npos);

  for (const char* garbled : {"plate.csv", "plate.xlsx"}) {
    std::ofstream(dir_ / garbled) << "A,1,2\nno plate here\x01\x02";
    Chosen() = QString::fromStdString((dir_ / garbled).string());
    preview->findChild<QPushButton*>("open")->click();
    EXPECT_EQ(preview->findChild<TemplateDialog*>("openedPreview"), nullptr);
  }
  ASSERT_EQ(BoxRecorder::Boxes().size(), 3u) << BoxRecorder::Texts();
  EXPECT_EQ(BoxRecorder::Boxes()[1].caption, "Error");
  EXPECT_NE(BoxRecorder::Boxes()[2].text.find("not an Excel workbook"), std::string::npos);
}

}  // namespace

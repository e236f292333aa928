// One read from the simulator through the desktop and back out of the
// History as it is now: the plate ID entered in the preview after the read,
// a well excluded with its reason and a comment are in the History's list
// and search, in the reopened preview and analysis, in its report, in every
// export (CSV, JSON, workbook, ASM) and in platovix-cli's archive commands.
// A report made right after the read is the assay's, with its analysis.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "analysis/assay.h"
#include "analysis_ui/analysis_window.h"
#include "analysis_ui/report_actions.h"
#include "archive/archive_store.h"
#include "archive/sqlite_archive.h"
#include "archive_ui/desktop_archive.h"
#include "dialogs/template_dialog.h"
#include "history/history_window.h"
#include "preview/data_preview.h"
#include "preview/shown_plate_holder.h"
#include "results/result_file_reader.h"
#include "sim/reader_simulator.h"
#include "tests/history/history_settled.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/command_output.h"
#include "tests/support/test_paths.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_dialog.h"

namespace fs = std::filesystem;

namespace {

QString& Chosen() {
  static QString name;
  return name;
}

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string PdfText(const fs::path& pdf) {
  return CommandOutput("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null");
}

// The report of the reopened read lists the excluded well with its reason
// and the comment, each on its line under its heading.
void ExpectNotesListed(const std::string& pdf) {
  const size_t exclusions = pdf.find("Exclusions");
  const size_t comments = pdf.find("Comments");
  ASSERT_NE(exclusions, std::string::npos) << pdf;
  ASSERT_NE(comments, std::string::npos) << pdf;
  EXPECT_LT(exclusions, comments);
  const auto lineAfter = [&pdf](size_t heading) {
    const size_t start = pdf.find('\n', heading) + 1;
    return pdf.substr(start, pdf.find('\n', start) - start);
  };
  const std::string excluded = lineAfter(exclusions);
  EXPECT_NE(excluded.find("D7"), std::string::npos) << pdf;
  EXPECT_NE(excluded.find("bubble in the well"), std::string::npos) << pdf;
  EXPECT_NE(excluded.find(archive::LoginName()), std::string::npos) << pdf;
  EXPECT_NE(lineAfter(comments).find("plate dropped, re-read advised"), std::string::npos) << pdf;
}

// Answers the reason dialog that opens next with text.
class ReasonGiven {
 public:
  explicit ReasonGiven(const std::string& text)
      : watcher_([text](QWidget* modal) {
          if (modal->objectName() != "auditReason") return;
          modal->findChild<QLineEdit*>("reason")->setText(QString::fromStdString(text));
          static_cast<QDialog*>(modal)->accept();
        }) {}

 private:
  ModalWatcher watcher_;
};

class ReadState : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ResetProgramState();
    char pattern[] = "/tmp/platovix-read-state-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"}) {
      setenv(name, dir_.c_str(), 1);
    }
    SetReportFileChooserForTesting([](QWidget*, const QString&) { return Chosen(); });
  }
  void TearDown() override {
    SetReportFileChooserForTesting(nullptr);
    SetLastArchivedRecord({});
    ResetProgramState();
    for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"}) unsetenv(name);
    fs::remove_all(dir_);
  }

  fs::path dir_;
  BoxRecorder boxes_;
};

TEST_F(ReadState, WhatIsEnteredAfterTheReadIsInTheHistoryReportsAndExports) {
  const std::string assayPath =
      (fs::path(test_paths::SourceDir()) / "examples" / "elisa-assay.json").string();
  const analysis::AssayParse assay = analysis::ReadAssayFile(assayPath);
  ASSERT_TRUE(assay.ok);
  AppSettings.AssayFile = assayPath;
  AppSettings.LayoutFile.clear();
  sim::Options options;
  options.scenario = sim::PlateScenario::Elisa;
  options.measureMs = 200;
  sim::PtySimulator reader(options);
  PortMap.szDevice[1] = reader.slavePath();
  AppSettings.nComPort = 1;
  AppSettings.bAutoView = 1;

  // The read; in its preview a scanned plate ID (the code, then Enter) and
  // the report.
  const fs::path afterRead = dir_ / "after-read.pdf";
  {
    MainDialog dialog;
    dialog.show();
    Chosen() = QString::fromStdString(afterRead.string());
    ModalWatcher preview([](QWidget* modal) {
      auto* shown = static_cast<TemplateDialog*>(modal);
      auto* field = shown->findChild<QLineEdit*>("plateId");
      field->setFocus();
      QTest::keyClicks(field, "PL-LATER-7");
      QTest::keyClick(field, Qt::Key_Return);
      shown->findChild<QPushButton*>("report")->click();
      shown->SendCommand(2);
    });
    qobject_cast<QPushButton*>(dialog.Item(kMeasureButton))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return preview.Seen() == 1; }, 30000));
    // The analysis window beside the main dialog, opened before the ID was
    // entered, reports it too.
    AnalysisWindow* analysis = OpenAnalysisWindow();
    ASSERT_NE(analysis, nullptr);
    Chosen() = QString::fromStdString((dir_ / "analysis.pdf").string());
    analysis->findChild<QPushButton*>("report")->click();
    const std::string text = PdfText(dir_ / "analysis.pdf");
    EXPECT_NE(text.find("PL-LATER-7"), std::string::npos) << text;
    EXPECT_NE(text.find(assay.assay.name), std::string::npos) << text;
  }
  const std::string uuid = LastArchivedRecord().uuid;
  ASSERT_FALSE(uuid.empty());
  std::string pdf = PdfText(afterRead);
  EXPECT_NE(pdf.find(assay.assay.name), std::string::npos) << pdf;  // the title
  EXPECT_NE(pdf.find("PL-LATER-7"), std::string::npos) << pdf;
  EXPECT_EQ(pdf.find("Layout: none"), std::string::npos) << pdf;
  EXPECT_NE(pdf.find("QC verdict"), std::string::npos) << pdf;
  EXPECT_NE(pdf.find("pg/mL"), std::string::npos) << pdf;  // the concentrations

  // Later, in the analysis window: D7 left out; in the preview: a comment.
  {
    AnalysisWindow window(nullptr, LastShownPlate());
    window.ToggleExcludedWell(3 * 12 + 6, "bubble in the well");
  }
  {
    auto preview = CreateDataPreview(nullptr, LastShownPlate());
    preview->show();
    ReasonGiven comment("plate dropped, re-read advised");
    preview->findChild<QPushButton*>("comment")->click();
  }

  // The History lists the read under its ID and finds it by it.
  const std::string archivePath = archive::DefaultArchivePath();
  HistoryWindow history(nullptr, {archivePath, ""});
  ASSERT_TRUE(Settled(history));
  ASSERT_GE(history.Model().rowCount(), 1);
  EXPECT_EQ(history.Model().Read(0).plateId, "PL-LATER-7");
  history.findChild<QLineEdit*>("search")->setText("later-7");
  ASSERT_TRUE(Settled(history));
  ASSERT_EQ(history.Model().rowCount(), 1);
  EXPECT_EQ(history.Model().Read(0).uuid, uuid);

  // Reopened: the ID, the excluded well and the analysis without it.
  history.OpenRead(0);
  ASSERT_TRUE(Settled(history));
  TemplateDialog* reopened = history.LastPreview();
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(reopened->findChild<QLineEdit*>("plateId")->text(), "PL-LATER-7");
  const ShownPlate shown = *KeptShownPlate(*reopened);
  ASSERT_EQ(shown.excluded.size(), 1u);
  EXPECT_EQ(shown.excluded[0].well, 42);
  EXPECT_EQ(shown.excluded[0].reason, "bubble in the well");
  EXPECT_EQ(shown.status, "completed");
  {
    AnalysisWindow window(nullptr, shown);
    ASSERT_NE(window.Result(), nullptr);
    ASSERT_EQ(window.Result()->excluded.size(), 1u);
    EXPECT_EQ(window.Result()->excluded[0].well, 42);
  }

  // Its report: the assay's, the ID, the exclusion and the comment with who,
  // when and why.
  const PlateReport report = ShownPlateReport(shown, nullptr);
  EXPECT_EQ(report.title, assay.assay.name);
  EXPECT_EQ(report.layoutName, assay.assay.name);
  ASSERT_TRUE(report.analysis);
  ASSERT_EQ(report.analysis->excluded.size(), 1u);
  ASSERT_EQ(report.exclusions.size(), 1u);
  EXPECT_EQ(report.exclusions[0].detail, "D7");
  EXPECT_EQ(report.exclusions[0].why, "bubble in the well");
  EXPECT_EQ(report.exclusions[0].who, archive::LoginName());
  EXPECT_FALSE(report.exclusions[0].when.empty());
  ASSERT_EQ(report.comments.size(), 1u);
  EXPECT_EQ(report.comments[0].detail, "plate dropped, re-read advised");
  const fs::path reportPath = dir_ / "history.pdf";
  Chosen() = QString::fromStdString(reportPath.string());
  reopened->findChild<QPushButton*>("report")->click();
  pdf = PdfText(reportPath);
  EXPECT_NE(pdf.find("PL-LATER-7"), std::string::npos) << pdf;
  EXPECT_NE(pdf.find(assay.assay.name), std::string::npos) << pdf;
  ExpectNotesListed(pdf);
  // Its footer: the archive's chain head as verify finds it.
  const CliRun verify = RunCliWith({"archive", "verify"});
  const size_t head = verify.out.find("head: entry ");
  ASSERT_NE(head, std::string::npos) << verify.out << verify.err;
  const size_t comma = verify.out.find(", ", head);
  EXPECT_NE(pdf.find("Archive chain head: " + verify.out.substr(head + 12, comma - head - 12) +
                     " \u00b7 " + verify.out.substr(comma + 2, 16) + "\u2026 (archive.sqlite)"),
            std::string::npos)
      << pdf;

  // Every export of the History says the ID and the excluded well.
  history.findChild<QTableView*>("reads")->selectRow(0);
  std::string error;
  const fs::path csv = dir_ / "read.csv", json = dir_ / "read.json", book = dir_ / "read.xlsx";
  for (const fs::path& path : {csv, json, book}) {
    ASSERT_TRUE(history.ExportSelected(path.string(), &error)) << error;
  }
  EXPECT_NE(Text(csv).find("plate id,PL-LATER-7\n"), std::string::npos) << Text(csv);
  EXPECT_NE(Text(csv).find("excluded well,D7,bubble in the well,"), std::string::npos);
  const nlohmann::json exported = nlohmann::json::parse(Text(json));
  EXPECT_EQ(exported["plate_id"], "PL-LATER-7");
  EXPECT_EQ(exported["excluded"][0]["well"], "D7");
  EXPECT_EQ(exported["excluded"][0]["reason"], "bubble in the well");
  EXPECT_TRUE(ReadResultFile(csv.string()).ok);
  EXPECT_TRUE(ReadResultFile(json.string()).ok);
  const std::string sheets = CommandOutput("unzip -p '" + book.string() + "'");
  EXPECT_NE(sheets.find("PL-LATER-7"), std::string::npos);
  EXPECT_NE(sheets.find("bubble in the well"), std::string::npos);
  const fs::path asmPath = dir_ / "read.asm.json";
  ASSERT_TRUE(SaveAsmDocument(asmPath.string(), shown, nullptr, &error)) << error;
  EXPECT_NE(Text(asmPath).find("\"well plate identifier\": \"PL-LATER-7\""), std::string::npos);
  EXPECT_NE(Text(asmPath).find("\"D7: bubble in the well ("), std::string::npos) << Text(asmPath);

  // The command line sees the same read.
  const CliRun listed =
      RunCliWith({"archive", "list", "--archive", archivePath, "--plate-id", "PL-LATER-7"});
  EXPECT_EQ(listed.code, 0) << listed.err;
  EXPECT_NE(listed.out.find(uuid + "\tPL-LATER-7\t"), std::string::npos) << listed.out;
  const CliRun listedJson = RunCliWith({"archive", "list", "--archive", archivePath, "--plate-id",
                                        "PL-LATER-7", "--format", "json"});
  ASSERT_EQ(listedJson.code, 0) << listedJson.err;
  const nlohmann::json listedReads = nlohmann::json::parse(listedJson.out);
  ASSERT_EQ(listedReads.size(), 1u) << listedJson.out;
  EXPECT_EQ(listedReads[0]["plateId"], "PL-LATER-7");
  EXPECT_EQ(listedReads[0]["uuid"], uuid);
  const CliRun show = RunCliWith({"archive", "show", uuid, "--archive", archivePath});
  ASSERT_EQ(show.code, 0) << show.err;
  const nlohmann::json current = nlohmann::json::parse(show.out)["current"];
  EXPECT_EQ(current["plateId"], "PL-LATER-7");
  EXPECT_EQ(current["excluded"][0]["well"], "D7");
  EXPECT_EQ(current["comments"][0]["text"], "plate dropped, re-read advised");
  const CliRun csvShow =
      RunCliWith({"archive", "show", uuid, "--archive", archivePath, "--format", "csv"});
  EXPECT_NE(csvShow.out.find("excluded well,D7,"), std::string::npos) << csvShow.out;
  const fs::path cliAsm = dir_ / "cli.asm.json";
  const CliRun asmRun = RunCliWith({"archive", "export", uuid, "--format", "asm", "-o",
                                    cliAsm.string(), "--archive", archivePath});
  ASSERT_EQ(asmRun.code, 0) << asmRun.err;
  EXPECT_NE(Text(cliAsm).find("\"well plate identifier\": \"PL-LATER-7\""), std::string::npos);
  EXPECT_NE(Text(cliAsm).find("\"D7: bubble in the well ("), std::string::npos) << Text(cliAsm);
  const fs::path cliReport = dir_ / "cli.pdf";
  const CliRun record =
      RunCliWith({"report", "--record", uuid, "-o", cliReport.string(), "--archive", archivePath});
  ASSERT_EQ(record.code, 0) << record.err;
  pdf = PdfText(cliReport);
  EXPECT_NE(pdf.find("PL-LATER-7"), std::string::npos) << pdf;
  EXPECT_NE(pdf.find(assay.assay.name), std::string::npos) << pdf;
  ExpectNotesListed(pdf);
  EXPECT_EQ(BoxRecorder::Texts(), "");
}

TEST_F(ReadState, AnAbortedReadComesBackAndIsReportedAsAborted) {
  archive::PlateRead read;
  read.uuid = archive::NewUuid();
  read.operatorName = "lab";
  read.primaryNm = 450;
  read.completed = "2026-12-09T10:00:00+01:00";
  read.values.fill(kNoValue);
  read.status = archive::ReadStatus::Aborted;
  read.message = "Aborted by the operator.";
  ASSERT_TRUE(archive::StoreRead(DesktopStoreConfig(), read).stored);
  HistoryWindow history(nullptr, {archive::DefaultArchivePath(), ""});
  ASSERT_TRUE(Settled(history));
  history.OpenRead(0);
  ASSERT_TRUE(Settled(history));
  TemplateDialog* reopened = history.LastPreview();
  ASSERT_NE(reopened, nullptr);
  const ShownPlate shown = *KeptShownPlate(*reopened);
  EXPECT_EQ(shown.status, "aborted");
  EXPECT_EQ(shown.statusMessage, "Aborted by the operator.");
  const PlateReport report = ShownPlateReport(shown, nullptr);
  EXPECT_EQ(report.status, "aborted");
  EXPECT_EQ(report.statusMessage, "Aborted by the operator.");
  EXPECT_FALSE(report.analysis);
  std::string error;
  const fs::path csv = dir_ / "aborted.csv";
  history.findChild<QTableView*>("reads")->selectRow(0);
  ASSERT_TRUE(history.ExportSelected(csv.string(), &error)) << error;
  EXPECT_NE(Text(csv).find("status,aborted,Aborted by the operator.\n"), std::string::npos)
      << Text(csv);
}

}  // namespace

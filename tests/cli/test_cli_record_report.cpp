// The plate report of an archived read: what measure --report wrote the
// moment the read was stored, and what report --record writes from the
// archive later, name the same record and hash; the stored assay gives the
// title and a verdict that must still be the stored one.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "archive/archive_store.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/temp_home.h"

namespace fs = std::filesystem;

namespace {

std::string PdfText(const fs::path& pdf) {
  std::string text;
  if (FILE* pipe = popen(("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    pclose(pipe);
  }
  // The report's font joins "ff" in a hash into one glyph; read it as two.
  for (size_t at; (at = text.find("\uFB00")) != std::string::npos;) text.replace(at, 3, "ff");
  return text;
}

archive::PlateRead OnlyRead() {
  std::vector<std::string> messages;
  std::string error;
  auto archive = archive::OpenArchiveForReading({}, &messages, &error);
  std::vector<archive::PlateRead> reads;
  if (archive) archive->FindReads({}, &reads, &error);
  return reads.size() == 1 ? reads[0] : archive::PlateRead{};
}

class RecordReport : public ::testing::Test {
 protected:
  TempHome temp_{"record-report"};
  const fs::path home_ = temp_.path();
};

}  // namespace

TEST_F(RecordReport, MeasureAndRecordReportNameTheStoredRecordAndItsVerdict) {
  sim::Options options;
  options.scenario = sim::PlateScenario::Elisa;
  options.measureMs = 100;
  sim::PtySimulator reader(options);
  const fs::path measured = home_ / "measured.pdf";
  const CliRun run = RunCliWith({"--port", reader.slavePath(), "--yes", "measure", "--assay",
                                 PLATOVIX_SOURCE_DIR "/examples/elisa-assay.json", "--plate-id",
                                 "ELISA-1", "--report", measured.string()});
  if (run.err.find("without Qt") != std::string::npos) GTEST_SKIP() << run.err;
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  const archive::PlateRead read = OnlyRead();
  ASSERT_FALSE(read.uuid.empty());
  ASSERT_FALSE(read.verdict.empty());
  const std::string record = "Archive record: " + read.uuid;
  const std::string hash = "SHA-256: " + archive::ContentHash(read);
  const std::string measuredText = PdfText(measured);
  EXPECT_NE(measuredText.find(record), std::string::npos) << measuredText;
  EXPECT_NE(measuredText.find(hash), std::string::npos);

  const fs::path later = home_ / "later.pdf";
  const CliRun report = RunCliWith({"report", "--record", read.uuid, "-o", later.string()});
  ASSERT_EQ(report.code, kExitSuccess) << report.err;
  const std::string text = PdfText(later);
  for (const std::string& expected : std::vector<std::string>{
           record, hash, std::string("Sandwich ELISA, TMB"), "Plate ID: ELISA-1",
           "Operator: " + read.operatorName, "Reader: " + read.readerFamily,
           "QC verdict: " + read.verdict, std::string("% Recovery")}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
  }
  // A layout given on the command line replaces the stored assay.
  const CliRun plain =
      RunCliWith({"report", "--record", read.uuid, "--layout",
                  PLATOVIX_SOURCE_DIR "/examples/elisa-layout.csv", "-o", later.string()});
  ASSERT_EQ(plain.code, kExitSuccess) << plain.err;
  EXPECT_EQ(PdfText(later).find("Sandwich ELISA, TMB"), std::string::npos);

  // A record whose verdict the stored assay no longer gives is not reported
  // as if it agreed.
  archive::PlateRead altered = read;
  altered.uuid = archive::NewUuid();
  altered.verdict = read.verdict == "Pass" ? "Fail" : "Pass";
  ASSERT_TRUE(archive::StoreRead({}, altered).stored);
  const fs::path refused = home_ / "refused.pdf";
  const CliRun mismatch = RunCliWith({"report", "--record", altered.uuid, "-o", refused.string()});
  EXPECT_EQ(mismatch.code, kExitFailure);
  EXPECT_NE(mismatch.err.find("verdict"), std::string::npos) << mismatch.err;
  EXPECT_FALSE(fs::exists(refused));

  const CliRun unknown = RunCliWith({"report", "--record", "no-such-read", "-o", refused.string()});
  EXPECT_EQ(unknown.code, kExitFailure);
  EXPECT_NE(unknown.err.find("no read no-such-read"), std::string::npos) << unknown.err;
  EXPECT_FALSE(fs::exists(refused));
  EXPECT_EQ(RunCliWith({"report", "--record", read.uuid, "-o", "x.pdf", "plate.csv"}).code,
            kExitUsage);
  EXPECT_EQ(RunCliWith({"archive", "list", "--record", read.uuid}).code, kExitUsage);
}

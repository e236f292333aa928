// The plate report of an archived read: what measure --report wrote the
// moment the read was stored, and what report --record writes from the
// archive later, name the same record and hash; the stored assay gives the
// title and a verdict that must still be the stored one. Every page's
// footer carries the archive's chain head as verify finds it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "archive/archive_store.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/pdf_words.h"
#include "tests/support/temp_home.h"
#include "tests/support/test_paths.h"

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

// The footer's words after "Archive chain head:" on the first page, up to its page number.
std::vector<std::string> ChainHeadWords(const fs::path& pdf) {
  const std::vector<PdfWord> words = ReadPdfWords(pdf.string());
  const std::vector<PdfWord> found = FindPdfPhrase(words, "Archive chain head:");
  std::vector<std::string> after;
  if (found.empty()) return after;
  for (const PdfWord& word : PdfLineOf(words, found[0])) {
    if (word.text == "Page") break;  // the page's number, at the right
    if (word.xMin > found[0].xMax) after.push_back(word.text);
  }
  return after;
}

// What archive verify gives as the head: its entry number and hash.
std::pair<std::string, std::string> VerifiedHead() {
  const CliRun verify = RunCliWith({"archive", "verify"});
  const size_t at = verify.out.find("head: entry ");
  if (verify.code != kExitSuccess || at == std::string::npos) {
    ADD_FAILURE() << verify.out << verify.err;
    return {};
  }
  const size_t comma = verify.out.find(", ", at);
  return {verify.out.substr(at + 12, comma - at - 12), verify.out.substr(comma + 2, 64)};
}

// The head as a report prints it: "1043", "·", the hash's first 16 hex and "…".
void ExpectChainHead(const fs::path& pdf, const std::pair<std::string, std::string>& head) {
  const std::vector<std::string> words = ChainHeadWords(pdf);
  ASSERT_GE(words.size(), 4u) << pdf;
  EXPECT_EQ(words[0], head.first) << pdf;
  EXPECT_EQ(words[1], "\u00b7");
  EXPECT_EQ(words[2], head.second.substr(0, 16) + "\u2026") << pdf;
  EXPECT_EQ(words[3], "(archive.sqlite)");
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
                                 test_paths::SourceDir() + "/examples/elisa-assay.json",
                                 "--plate-id", "ELISA-1", "--report", measured.string()});
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
  const std::pair<std::string, std::string> head = VerifiedHead();
  ExpectChainHead(measured, head);

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
                  test_paths::SourceDir() + "/examples/elisa-layout.csv", "-o", later.string()});
  ASSERT_EQ(plain.code, kExitSuccess) << plain.err;
  EXPECT_EQ(PdfText(later).find("Sandwich ELISA, TMB"), std::string::npos);
  ExpectChainHead(later, head);

  // A record whose verdict the stored assay no longer gives is not reported
  // as if it agreed.
  archive::PlateRead altered = read;
  altered.uuid = archive::NewUuid();
  altered.verdict = read.verdict == "Pass" ? "Fail" : "Pass";
  ASSERT_TRUE(archive::StoreRead({}, altered).stored);
  // A report made later names the head as it is then, past the read.
  const std::pair<std::string, std::string> moved = VerifiedHead();
  EXPECT_EQ(std::stoll(moved.first), std::stoll(head.first) + 1);
  ASSERT_EQ(RunCliWith({"report", "--record", read.uuid, "-o", later.string()}).code, kExitSuccess);
  ExpectChainHead(later, moved);
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

  // A read kept out of the archive says so where the head would stand.
  const fs::path unarchived = home_ / "unarchived.pdf";
  const CliRun loose = RunCliWith(
      {"--port", reader.slavePath(), "--yes", "measure", "--no-archive", "--assay",
       test_paths::SourceDir() + "/examples/elisa-assay.json", "--report", unarchived.string()});
  ASSERT_EQ(loose.code, kExitSuccess) << loose.err;
  EXPECT_EQ(ChainHeadWords(unarchived), (std::vector<std::string>{"not", "archived"}));
}

// measure --repeat --kinetic against the simulator's kinetic plate: every
// read is stored as it completes, and the run leaves one record naming its
// reads, completed or, when aborted mid-run, aborted with the reads before
// (and its report says so); a series written as a workbook.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_run.h"
#include "results/shared_state.h"
#include "results/workbook_reader.h"
#include "sim/reader_simulator.h"
#include "tests/support/pdf_words.h"
#include "tests/support/temp_home.h"

using Json = nlohmann::json;

namespace {

// Progress text that raises the abort flag (as Ctrl+C does) when a given
// line is written: the run is aborted at a known read.
class AbortAtLine : public std::stringbuf {
 public:
  explicit AbortAtLine(std::string line) : line_(std::move(line)) {}

 protected:
  std::streamsize xsputn(const char* text, std::streamsize n) override {
    const std::streamsize written = std::stringbuf::xsputn(text, n);
    if (!line_.empty() && str().find(line_) != std::string::npos) {
      bAbort.store(1);
      line_.clear();
    }
    return written;
  }

 private:
  std::string line_;
};

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome Cli(const std::vector<std::string>& args, const std::string& abortAt = "") {
  std::ostringstream out;
  AbortAtLine progress(abortAt);
  std::ostream err(&progress);
  const int code = RunCli(args, CliIo{out, err, false, -1});
  bAbort.store(0);
  return {code, out.str(), progress.str()};
}

// The run record's UUID from measure's progress, and the record archive show gives.
Json RunRecordOf(const std::string& progress) {
  const std::string mark = "platovix-cli: run record ";
  const size_t at = progress.find(mark);
  EXPECT_NE(at, std::string::npos) << progress;
  if (at == std::string::npos) return Json();
  const std::string uuid = progress.substr(at + mark.size(), 36);
  const Outcome shown = Cli({"archive", "show", uuid});
  EXPECT_EQ(shown.code, kExitSuccess) << shown.err;
  return Json::parse(shown.out, nullptr, false);
}

}  // namespace

TEST(CliKineticRun, ARunIsOneRecordNamingItsReadsAndAnAbortedOneKeepsThoseBefore) {
  TempHome home("cli-kinetic-run");
  bAbort.store(0);
  sim::Options options;
  options.scenario = sim::PlateScenario::Kinetic;
  options.measureMs = 50;
  sim::PtySimulator reader(options);
  const std::vector<std::string> measure = {"--port",  reader.slavePath(), "--family", "digiscan",
                                            "measure", "--primary",        "405",      "--every",
                                            "0",       "--kinetic",        "rate",     "--format",
                                            "json",    "--repeat"};
  const auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = measure;
    args.insert(args.end(), more.begin(), more.end());
    args.push_back("-o");
    args.push_back((home.path() / "series.json").string());
    return args;
  };

  const Outcome done = Cli(with({"3", "--plate-id", "K-1"}));
  ASSERT_EQ(done.code, kExitSuccess) << done.err;
  const Json run = RunRecordOf(done.err);
  ASSERT_TRUE(run.is_object());
  EXPECT_EQ(run["kind"], "run");
  EXPECT_EQ(run["status"], "completed");
  EXPECT_EQ(run["plateId"], "K-1");
  EXPECT_EQ(run["analysis"]["kinetics"]["mode"], "rate");
  EXPECT_EQ(run["analysis"]["kinetics"]["wells"].size(), static_cast<size_t>(kWells));
  // The reads it names are the reads the list holds, in the order taken.
  const Outcome list = Cli({"archive", "list", "--format", "json"});
  const Json reads = Json::parse(list.out);
  ASSERT_EQ(reads.size(), 3u);  // the run itself is no read
  ASSERT_EQ(run["reads"].size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(run["reads"][i]["uuid"], reads[2 - i]["uuid"]);  // the list is newest first
    EXPECT_EQ(run["reads"][i]["completed"], reads[2 - i]["completed"]);
  }
  EXPECT_EQ(run["reads"][0]["elapsedSeconds"], 0.0);

  // Aborted as the fourth read of six begins: three completed reads stand.
  const std::string pdf = (home.path() / "aborted.pdf").string();
  const Outcome aborted = Cli(with({"6", "--plate-id", "K-2", "--report", pdf}), "read 4 of 6");
  EXPECT_EQ(aborted.code, kExitAborted) << aborted.err;
  const Json cut = RunRecordOf(aborted.err);
  ASSERT_TRUE(cut.is_object());
  EXPECT_EQ(cut["status"], "aborted");
  EXPECT_FALSE(cut["message"].get<std::string>().empty());
  EXPECT_EQ(cut["plannedReads"], 6);
  ASSERT_EQ(cut["reads"].size(), 3u);
  for (const Json& read : cut["reads"]) {
    const Outcome shown = Cli({"archive", "show", read["uuid"]});
    ASSERT_EQ(shown.code, kExitSuccess) << shown.err;
    EXPECT_EQ(Json::parse(shown.out)["status"], "completed");
  }
  EXPECT_EQ(cut["analysis"]["kinetics"]["wells"].size(), static_cast<size_t>(kWells));
  // The read in flight is kept as aborted, beside them.
  const Json second =
      Json::parse(Cli({"archive", "list", "--plate-id", "K-2", "--format", "json"}).out);
  EXPECT_EQ(second.size(), 4u);
  const Outcome verified = Cli({"archive", "verify"});
  EXPECT_EQ(verified.code, kExitSuccess) << verified.err;

  // Its report says it was aborted, which reads it holds and which record is the run.
  const std::vector<PdfWord> words = ReadPdfWords(pdf);
  for (const std::string& phrase : std::vector<std::string>{
           "Aborted kinetic run", "Aborted after 3 of 6 reads", "The report holds reads 1 to 3,",
           "Reads: 3 of 6", "Interval: 0 s", "Plate ID: K-2",
           "Archive record: " + cut["uuid"].get<std::string>()}) {
    EXPECT_FALSE(FindPdfPhrase(words, phrase).empty()) << phrase;
  }

  // A series as a workbook: nothing on stdout, every read of every well in the Series sheet.
  const std::string xlsx = (home.path() / "series.xlsx").string();
  const Outcome book = Cli({"--port", reader.slavePath(), "--family", "digiscan", "measure",
                            "--primary", "405", "--repeat", "2", "--every", "0", "--kinetic",
                            "rate", "--no-archive", "--format", "xlsx", "-o", xlsx});
  ASSERT_EQ(book.code, kExitSuccess) << book.err;
  EXPECT_EQ(book.out, "");
  workbook_xml::Rows cells;
  std::string error;
  ASSERT_TRUE(ReadWorkbookSheet(xlsx, "Series", &cells, &error)) << error;
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[1][1].number, 0.0);
  EXPECT_GT(cells[2][1].number.value_or(0), 0.0);
  EXPECT_EQ(cells[2].size(), 2u + kWells);
}

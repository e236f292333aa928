// measure --repeat --kinetic against the simulator's kinetic plate: every
// read is stored as it completes, and the run leaves one record naming its
// reads, completed or, when aborted mid-run, aborted with the reads before
// (and its report says so); a series written as a workbook. A growth run
// against a simulator whose plate clock runs fast gives back the cultures'
// µmax the simulator's truth file names.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/plate_layout.h"
#include "cli/cli_run.h"
#include "results/shared_state.h"
#include "results/well_names.h"
#include "results/workbook_reader.h"
#include "sim/plate_layout.h"
#include "sim/plate_scenarios.h"
#include "sim/reader_simulator.h"
#include "tests/support/cli_in_process.h"
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

CliRun CliAbortingAt(const std::vector<std::string>& args, const std::string& abortAt = "") {
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
  const CliRun shown = CliAbortingAt({"archive", "show", uuid});
  EXPECT_EQ(shown.code, kExitSuccess) << shown.err;
  return Json::parse(shown.out, nullptr, false);
}

// The head archive verify names, as a report's footer prints it:
// "1043 · 3f9a0c2d5e6b7a81…".
std::string VerifiedHeadText(const std::string& verify) {
  const size_t at = verify.find("head: entry ");
  const size_t comma = verify.find(", ", at);
  if (at == std::string::npos || comma == std::string::npos) return "(no head in: " + verify + ")";
  return verify.substr(at + 12, comma - at - 12) + " \u00b7 " + verify.substr(comma + 2, 16) +
         "\u2026";
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

  const CliRun done = CliAbortingAt(with({"3", "--plate-id", "K-1"}));
  ASSERT_EQ(done.code, kExitSuccess) << done.err;
  const Json run = RunRecordOf(done.err);
  ASSERT_TRUE(run.is_object());
  EXPECT_EQ(run["kind"], "run");
  EXPECT_EQ(run["status"], "completed");
  EXPECT_EQ(run["plateId"], "K-1");
  EXPECT_EQ(run["analysis"]["kinetics"]["mode"], "rate");
  EXPECT_EQ(run["analysis"]["kinetics"]["wells"].size(), static_cast<size_t>(kWells));
  // The reads it names are the reads the list holds, in the order taken.
  const CliRun list = CliAbortingAt({"archive", "list", "--format", "json"});
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
  const CliRun aborted =
      CliAbortingAt(kWithReport ? with({"6", "--plate-id", "K-2", "--report", pdf})
                                : with({"6", "--plate-id", "K-2"}),
                    "read 4 of 6");
  EXPECT_EQ(aborted.code, kExitAborted) << aborted.err;
  const Json cut = RunRecordOf(aborted.err);
  ASSERT_TRUE(cut.is_object());
  EXPECT_EQ(cut["status"], "aborted");
  EXPECT_FALSE(cut["message"].get<std::string>().empty());
  EXPECT_EQ(cut["plannedReads"], 6);
  ASSERT_EQ(cut["reads"].size(), 3u);
  for (const Json& read : cut["reads"]) {
    const CliRun shown = CliAbortingAt({"archive", "show", read["uuid"]});
    ASSERT_EQ(shown.code, kExitSuccess) << shown.err;
    EXPECT_EQ(Json::parse(shown.out)["status"], "completed");
  }
  EXPECT_EQ(cut["analysis"]["kinetics"]["wells"].size(), static_cast<size_t>(kWells));
  // The read in flight is kept as aborted, beside them.
  const Json second =
      Json::parse(CliAbortingAt({"archive", "list", "--plate-id", "K-2", "--format", "json"}).out);
  EXPECT_EQ(second.size(), 4u);
  const CliRun verified = CliAbortingAt({"archive", "verify"});
  EXPECT_EQ(verified.code, kExitSuccess) << verified.err;

  // Its report says it was aborted, which reads it holds and which record is the run.
  const std::vector<PdfWord> words = kWithReport ? ReadPdfWords(pdf) : std::vector<PdfWord>{};
  for (const std::string& phrase :
       kWithReport
           ? std::vector<std::string>{"Aborted kinetic run", "Aborted after 3 of 6 reads",
                                      "The report holds reads 1 to 3,", "Reads: 3 of 6",
                                      "Interval: 0 s", "Plate ID: K-2",
                                      "Archive record: " + cut["uuid"].get<std::string>(),
                                      "Archive chain head: " + VerifiedHeadText(verified.out)}
           : std::vector<std::string>{}) {
    EXPECT_FALSE(FindPdfPhrase(words, phrase).empty()) << phrase;
  }

  // A series as a workbook: nothing on stdout, every read of every well in the Series sheet.
  const std::string xlsx = (home.path() / "series.xlsx").string();
  const CliRun book =
      CliAbortingAt({"--port", reader.slavePath(), "--family", "digiscan", "measure", "--primary",
                     "405", "--repeat", "2", "--every", "0", "--kinetic", "rate", "--no-archive",
                     "--format", "xlsx", "-o", xlsx});
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

TEST(CliKineticRun, AGrowthRunOnAFastPlateClockRecoversEachCulturesMuMax) {
  TempHome home("cli-growth-run");
  bAbort.store(0);
  // Half an hour of growth between reads two and a half seconds apart.
  constexpr double kScale = 720;
  constexpr int kReads = 16;
  sim::Options options;
  options.scenario = sim::PlateScenario::Growth;
  options.measureMs = 50;
  options.timeScale = kScale;
  sim::PtySimulator reader(options);

  // The truth as --write-layout writes it: "<well> sample <name> <µmax> <lag> <K>"
  // or "<well> blank"; the blanks become the layout's.
  std::istringstream truth(sim::LayoutText(sim::BuildScenario(sim::PlateScenario::Growth)));
  analysis::PlateLayout layout;
  std::map<std::string, double> muMax;
  for (std::string line; std::getline(truth, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string well, kind, name;
    double mu = 0;
    fields >> well >> kind;
    const int index = PlateWellOfName(well);
    if (kind == "blank") layout.wells[index].role = analysis::WellRole::Blank;
    if (kind != "sample") continue;
    ASSERT_TRUE(fields >> name >> mu) << line;
    layout.wells[index] = {analysis::WellRole::Sample, name, {}, {}, {}};
    muMax[well] = mu;
  }
  ASSERT_EQ(muMax.size(), 88u);
  const std::string layoutPath = (home.path() / "growth-layout.csv").string();
  std::string error;
  ASSERT_TRUE(analysis::SaveLayoutFile(layoutPath, layout, &error)) << error;

  const CliRun run = CliAbortingAt({"--port",
                                    reader.slavePath(),
                                    "--family",
                                    "digiscan",
                                    "measure",
                                    "--primary",
                                    "690",
                                    "--repeat",
                                    std::to_string(kReads),
                                    "--every",
                                    "2.5",
                                    "--kinetic",
                                    "growth",
                                    "--window",
                                    "4",
                                    "--layout",
                                    layoutPath,
                                    "--format",
                                    "json",
                                    "-o",
                                    (home.path() / "growth.json").string()});
  ASSERT_EQ(run.code, kExitSuccess) << run.err;
  const Json kinetics = Json::parse(run.out)["kinetics"];
  ASSERT_EQ(kinetics["mode"], "growth");

  // Rates per hour of the wall clock are kScale times those of the plate's.
  // Four reads span 1.5 h of the plate's time: on the faster cultures the
  // window already bends towards K, and the photometer's noise on an
  // inoculum of 0.02 OD moves single wells; the median of a strain's eleven
  // wells stays close to its µmax.
  std::map<std::string, std::vector<double>> byStrain;
  int samples = 0;
  for (const Json& well : kinetics["wells"]) {
    const std::string name = well["well"];
    if (well["role"] != "sample") continue;
    ++samples;
    ASSERT_TRUE(well["muMaxPerHour"].is_number()) << name << " " << well.dump();
    const double found = well["muMaxPerHour"].get<double>() / kScale;
    EXPECT_NEAR(found / muMax.at(name), 1, 0.2) << name << " µmax " << found;
    byStrain[well["name"]].push_back(found / muMax.at(name));
  }
  EXPECT_EQ(samples, 88);
  ASSERT_EQ(byStrain.size(), 8u);
  for (auto& [strain, ratios] : byStrain) {
    std::nth_element(ratios.begin(), ratios.begin() + 5, ratios.end());
    EXPECT_NEAR(ratios[5], 1, 0.12) << strain << ": median µmax found / true";
  }
}

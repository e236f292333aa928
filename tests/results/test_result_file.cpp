#include "results/result_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "results/file_time.h"
#include "tests/results/result_file_parsers.h"

namespace fs = std::filesystem;
using namespace result_parsers;

namespace {

// Runs a test in a fixed time zone so local times and offsets are known.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    if (const char* old = getenv("TZ")) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneScope() {
    if (old_) {
      setenv("TZ", old_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

TPlateResult SamplePlate() {
  TPlateResult plate;
  for (int i = 0; i < kWells; ++i) plate.nValue[i] = i * 37 - 500;  // negatives and positives
  plate.nValue[8] = kNoValue;
  plate.nValue[95] = kNoValue;
  plate.nValue[1] = -12;
  plate.nValue[2] = 3200;
  plate.nPrimary = 450;
  plate.nReference = 620;
  plate.bValid = 1;
  return plate;
}

ResultContext SampleContext() {
  ResultContext context;
  context.readerKind = "Jupiter";
  context.readerId = "12345";
  context.started = std::chrono::system_clock::from_time_t(1796659200);  // 2026-12-07 16:00 UTC
  context.completed = *context.started + std::chrono::seconds(35);
  return context;
}

void ExpectSameWells(const TPlateResult& plate, const std::vector<std::optional<int>>& wells) {
  ASSERT_EQ(wells.size(), 96u);
  for (int i = 0; i < kWells; ++i) {
    if (plate.nValue[i] == kNoValue) {
      EXPECT_FALSE(wells[i].has_value()) << "well " << i;
    } else {
      EXPECT_EQ(wells[i], plate.nValue[i]) << "well " << i;
    }
  }
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/platovix-result-file-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }
  size_t Entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(path_), {}));
  }

 private:
  fs::path path_;
};

}  // namespace

TEST(ResultFile, IsoTimeCarriesTheLocalOffset) {
  const auto instant = std::chrono::system_clock::from_time_t(1796659205);  // 16:00:05 UTC
  {
    ZoneScope zone("CET-1");
    EXPECT_EQ(FormatIsoLocalTime(instant), "2026-12-07T17:00:05+01:00");
  }
  {
    ZoneScope zone("NST3:30");
    EXPECT_EQ(FormatIsoLocalTime(instant), "2026-12-07T12:30:05-03:30");
  }
  {
    ZoneScope zone("UTC0");
    EXPECT_EQ(FormatIsoLocalTime(instant), "2026-12-07T16:00:05+00:00");
  }
}

TEST(ResultFile, CsvParsesBackToTheSamePlateAndMetadata) {
  ZoneScope zone("CET-1");
  const TPlateResult plate = SamplePlate();
  const std::string csv = BuildResultCsv(plate, SampleContext(), false);

  const CsvPlate parsed = ParseCsvPlate(SplitLines(csv), ',', '.');
  EXPECT_EQ(parsed.metadata.at("reader"), "Jupiter");
  EXPECT_EQ(parsed.metadata.at("reader id"), "12345");
  EXPECT_EQ(parsed.metadata.at("primary [nm]"), "450");
  EXPECT_EQ(parsed.metadata.at("reference [nm]"), "620");
  EXPECT_EQ(parsed.metadata.at("started"), "2026-12-07T17:00:00+01:00");
  EXPECT_EQ(parsed.metadata.at("completed"), "2026-12-07T17:00:35+01:00");
  ExpectSameWells(plate, parsed.wells);
  EXPECT_NE(csv.find("\nA,-0.500,-0.012,3.200,"), std::string::npos) << csv;
}

TEST(ResultFile, CsvWithDecimalCommaSeparatesFieldsWithSemicolons) {
  const TPlateResult plate = SamplePlate();
  const std::string csv = BuildResultCsv(plate, SampleContext(), true);
  EXPECT_EQ(csv.substr(0, csv.find("-0,500")).find(','), std::string::npos)
      << "no comma before the first number";

  const CsvPlate parsed = ParseCsvPlate(SplitLines(csv), ';', ',');
  ExpectSameWells(plate, parsed.wells);
  EXPECT_EQ(parsed.metadata.at("primary [nm]"), "450");
}

TEST(ResultFile, CsvLeavesUnknownMetadataEmptyAndCanOmitIt) {
  TPlateResult plate = SamplePlate();
  plate.nReference = 0;
  const CsvPlate parsed = ParseCsvPlate(SplitLines(BuildResultCsv(plate, {}, false)), ',', '.');
  EXPECT_EQ(parsed.metadata.at("reference [nm]"), "");
  EXPECT_EQ(parsed.metadata.at("reader id"), "");
  EXPECT_EQ(parsed.metadata.at("started"), "");
  EXPECT_EQ(parsed.metadata.at("completed"), "");

  const std::string grid = BuildResultCsv(plate, {}, false, false);
  EXPECT_EQ(grid.rfind(",1,2,3,", 0), 0u) << grid;
  EXPECT_EQ(SplitLines(grid).size(), 9u);
}

TEST(ResultFile, CompletionFallsBackToThePlatesOwnTime) {
  ZoneScope zone("CET-1");
  TPlateResult plate = SamplePlate();
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 7;
  local.tm_hour = 16;
  local.tm_min = 20;
  local.tm_sec = 5;
  plate.ftMeasured = FileTimeFromCalendar(local);

  const Json json = ParseJson(BuildResultJson(plate, {}));
  EXPECT_EQ(json["completed"].text, "2026-12-07T16:20:05+01:00");
  EXPECT_TRUE(json["started"].IsNull());
}

TEST(ResultFile, JsonParsesBackWithNullForMissingValues) {
  ZoneScope zone("UTC0");
  TPlateResult plate = SamplePlate();
  ResultContext context = SampleContext();
  context.readerKind = "Odd \"name\"\\";
  const Json json = ParseJson(BuildResultJson(plate, context));

  EXPECT_EQ(json["reader"].text, "Odd \"name\"\\");
  EXPECT_EQ(json["reader_id"].text, "12345");
  EXPECT_EQ(json["primary_nm"].number, 450);
  EXPECT_EQ(json["reference_nm"].number, 620);
  EXPECT_EQ(json["started"].text, "2026-12-07T16:00:00+00:00");
  const Json& values = json["values"];
  ASSERT_EQ(values.items.size(), 8u);
  std::vector<std::optional<int>> wells;
  for (const Json& row : values.items) {
    ASSERT_EQ(row.items.size(), 12u);
    for (const Json& cell : row.items) {
      wells.push_back(cell.IsNull() ? std::nullopt
                                    : std::optional<int>(static_cast<int>(cell.number)));
    }
  }
  ExpectSameWells(plate, wells);

  plate.nReference = 0;
  EXPECT_TRUE(ParseJson(BuildResultJson(plate, {}))["reference_nm"].IsNull());
  EXPECT_TRUE(ParseJson(BuildResultJson(plate, {}))["reader_id"].IsNull());
}

TEST(ResultFile, FormatFollowsTheExtension) {
  EXPECT_EQ(ResultFormatForPath("/data/plate.json"), ResultFormat::Json);
  EXPECT_EQ(ResultFormatForPath("PLATE.JSON"), ResultFormat::Json);
  EXPECT_EQ(ResultFormatForPath("plate.csv"), ResultFormat::Csv);
  EXPECT_EQ(ResultFormatForPath("json"), ResultFormat::Csv);
  EXPECT_EQ(ResultFormatForPath("plate"), ResultFormat::Csv);
}

TEST(ResultFile, SaveWritesTheFormatOfTheNameAndReplacesWholeFiles) {
  TempDir dir;
  const TPlateResult plate = SamplePlate();
  std::string error;
  const fs::path json = dir.path() / "plate.json";
  ASSERT_TRUE(SaveResultFile(json, plate, SampleContext(), false, &error)) << error;
  EXPECT_EQ(ParseJson(ReadWholeFile(json))["primary_nm"].number, 450);

  const fs::path csv = dir.path() / "plate.csv";
  std::ofstream(csv) << "an older and much longer file that must not shine through at the end\n"
                     << std::string(4000, 'x');
  ASSERT_TRUE(SaveResultFile(csv, plate, SampleContext(), false, &error)) << error;
  EXPECT_EQ(ReadWholeFile(csv), BuildResultCsv(plate, SampleContext(), false));
  EXPECT_EQ(dir.Entries(), 2u) << "no temporary file left behind";
  EXPECT_EQ(fs::status(csv).permissions() & fs::perms::owner_read, fs::perms::owner_read);
}

// A write that runs out of room half-way (here: the file size limit) must
// leave the old file as it was and no partial file beside it.
TEST(ResultFile, FailedWriteKeepsTheOldFileWhole) {
  TempDir dir;
  const fs::path path = dir.path() / "plate.csv";
  std::ofstream(path) << "old";

  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 100;
  setrlimit(RLIMIT_FSIZE, &small);

  std::string error;
  const bool ok = WriteFileAtomically(path, std::string(5000, 'n'), &error);

  setrlimit(RLIMIT_FSIZE, &old);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(ok);
  EXPECT_EQ(error, "File too large");
  EXPECT_EQ(ReadWholeFile(path), "old");
  EXPECT_EQ(dir.Entries(), 1u);
}

TEST(ResultFile, WriteIntoMissingDirectoryFailsWithTheSystemsText) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir.path() / "missing" / "plate.csv", "text", &error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_EQ(dir.Entries(), 0u);
}

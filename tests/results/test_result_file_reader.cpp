// Saved plates read back: every form the program writes (CSV with either
// decimal mark, with or without metadata, JSON, a kinetic series of
// either, the clipboard text) gives back the same wells, filters and times;
// a damaged file says what and where.
#include <gtest/gtest.h>

#include "results/result_file.h"
#include "results/result_file_reader.h"
#include "results/result_text.h"
#include "results/shared_state.h"

namespace {

using Clock = std::chrono::system_clock;

TPlateResult SomePlate() {
  TPlateResult plate;
  for (int i = 0; i < kWells; ++i) plate.nValue[i] = (i * 37) % 3300 - 50;
  plate.nValue[5] = kNoValue;
  plate.nValue[95] = -12;
  plate.nPrimary = 450;
  plate.nReference = 620;
  plate.bValid = 1;
  return plate;
}

ResultContext SomeContext() {
  ResultContext context;
  context.readerKind = "Jupiter";
  context.readerId = "01234";
  context.started = Clock::time_point(std::chrono::seconds(1796000000));
  context.completed = Clock::time_point(std::chrono::seconds(1796000042));
  return context;
}

void ExpectSamePlate(const SavedPlate& saved, const TPlateResult& plate) {
  for (int i = 0; i < kWells; ++i) EXPECT_EQ(saved.plate.nValue[i], plate.nValue[i]) << i;
  EXPECT_EQ(saved.plate.nPrimary, plate.nPrimary);
  EXPECT_EQ(saved.plate.nReference, plate.nReference);
  EXPECT_EQ(saved.plate.bValid, 1);
}

TEST(ResultFileReader, ReadsBackEveryFormThePlateIsWrittenIn) {
  const TPlateResult plate = SomePlate();
  const ResultContext context = SomeContext();
  for (const std::string& text :
       {BuildResultCsv(plate, context, false), BuildResultCsv(plate, context, true),
        BuildResultJson(plate, context)}) {
    const SavedPlates read = ParseResultText(text);
    ASSERT_TRUE(read.ok) << read.error << "\n" << text;
    ASSERT_EQ(read.plates.size(), 1u);
    ExpectSamePlate(read.plates[0], plate);
    EXPECT_EQ(read.plates[0].context.readerKind, "Jupiter");
    EXPECT_EQ(read.plates[0].context.readerId, "01234");
    EXPECT_EQ(read.plates[0].context.started, context.started);
    EXPECT_EQ(read.plates[0].context.completed, context.completed);
    EXPECT_NE(read.plates[0].plate.ftMeasured, 0u);
  }
  // The grid alone (--no-header) and the clipboard text.
  const SavedPlates bare = ParseResultText(BuildResultCsv(plate, context, true, false));
  ASSERT_TRUE(bare.ok) << bare.error;
  EXPECT_EQ(bare.plates[0].plate.nValue[94], plate.nValue[94]);
  EXPECT_EQ(bare.plates[0].plate.nPrimary, 0);
  PlateResult = plate;
  AppSettings.bIncludeHeader = 1;
  AppSettings.bDelimComma = 1;
  const SavedPlates clipboard = ParseResultText(BuildResultText());
  AppSettings.bDelimComma = 0;
  ASSERT_TRUE(clipboard.ok) << clipboard.error;
  ExpectSamePlate(clipboard.plates[0], plate);
}

TEST(ResultFileReader, ReadsKineticSeries) {
  TPlateResult second = SomePlate();
  second.nValue[0] = 777;
  const std::string json =
      "[\n" + BuildResultJson(SomePlate(), {}) + ",\n" + BuildResultJson(second, {}) + "]\n";
  const std::string csv = BuildResultCsv(SomePlate(), SomeContext(), false) + "\n" +
                          BuildResultCsv(second, SomeContext(), false);
  for (const std::string& text : {json, csv}) {
    const SavedPlates read = ParseResultText(text);
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_EQ(read.plates.size(), 2u);
    ExpectSamePlate(read.plates[1], second);
  }

  // A read of measure --repeat: its elapsed time, and times to the millisecond.
  ResultContext timed = SomeContext();
  timed.started = *timed.started + std::chrono::milliseconds(250);
  timed.completed = *timed.completed + std::chrono::milliseconds(7);
  timed.elapsedSeconds = 12.3456;
  const std::string series = BuildResultJson(SomePlate(), timed);
  EXPECT_NE(series.find("\"elapsedSeconds\": 12.346,"), std::string::npos) << series;
  EXPECT_NE(series.find(".007" + FormatIsoLocalTime(*timed.completed).substr(19)),
            std::string::npos)
      << series;
  const SavedPlates read = ParseResultText(series);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.plates[0].context.started, timed.started);
  EXPECT_EQ(read.plates[0].context.completed, timed.completed);
  EXPECT_EQ(read.plates[0].context.elapsedSeconds, 12.346);
  // A single read says nothing of either.
  EXPECT_EQ(BuildResultJson(SomePlate(), SomeContext()).find("elapsed"), std::string::npos);
  EXPECT_FALSE(ParseResultText(BuildResultJson(SomePlate(), {})).plates[0].context.elapsedSeconds);
  std::string late = series;
  late.replace(late.find("12.346"), 6, "\"soon\"");
  EXPECT_EQ(ParseResultText(late).error,
            "the plate: \"elapsedSeconds\" is not a number of seconds");
}

TEST(ResultFileReader, NamesWhatIsWrong) {
  std::string csv = BuildResultCsv(SomePlate(), {}, false);
  csv.replace(csv.find("\nC,") + 3, 1, "x");
  EXPECT_EQ(ParseResultText(csv).error, "line 11: well C1: 'x.838' is not a number");
  EXPECT_EQ(ParseResultText("reader,X\n").error,
            "no plate grid (a line ,1,2,...,12 and the rows A to H)");
  EXPECT_EQ(ParseResultText("{\"values\": [[1]]}").error,
            "the plate: \"values\" must be 8 rows of 12 wells");
  EXPECT_EQ(ParseResultText("{\"values\": ").error.substr(0, 15), "not valid JSON:");
  EXPECT_EQ(ParseResultText(" \n").error, "the file is empty");
  EXPECT_EQ(ReadResultFile("/nonexistent/plate.csv").error,
            "/nonexistent/plate.csv: No such file or directory");
}

TEST(ResultFileReader, IsoTimes) {
  Clock::time_point when;
  ASSERT_TRUE(ParseIsoTime("2026-12-07T16:20:05+01:00", &when));
  EXPECT_EQ(Clock::to_time_t(when), 1796656805);
  ASSERT_TRUE(ParseIsoTime("2026-12-07T15:20:05Z", &when));
  EXPECT_EQ(Clock::to_time_t(when), 1796656805);
  ASSERT_TRUE(ParseIsoTime("2026-12-07T16:20:05.125+01:00", &when));
  EXPECT_EQ(when, Clock::time_point(std::chrono::milliseconds(1796656805125)));
  EXPECT_FALSE(ParseIsoTime("2026-12-07T16:20:05.+01:00", &when));
  EXPECT_FALSE(ParseIsoTime("2026-12-07 15:20:05", &when));
  EXPECT_FALSE(ParseIsoTime("2026-02-30T15:20:05Z", &when));
}

}  // namespace

// The assay file: what is saved comes back whole, every field's mistake is
// named with the rule it breaks, the example assays load, and the numbers
// are written as a lab reports them in both decimal marks.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "analysis/assay.h"
#include "analysis/number_format.h"
#include "tests/support/test_paths.h"

using namespace analysis;
namespace fs = std::filesystem;

namespace {

const std::string kExamples = test_paths::SourceDir() + "/examples/";

Assay Sample() {
  const LayoutParse layout = ReadLayoutFile(kExamples + "elisa-layout.csv");
  EXPECT_TRUE(layout.ok) << layout.error;
  Assay assay = NewAssay("ELISA \"IL-6\"", layout.layout);
  assay.version = "2.1";
  assay.description = "two lines\nof text";
  assay.reading = {492, 620, false};
  assay.model = CurveModel::Quadratic;
  assay.weighting = Weighting::OneOverY2;
  assay.significantDigits = 3;
  assay.qc.cvMax = 15;
  assay.qc.levelsMin = std::nullopt;
  assay.qc.controlsInRange = false;
  return assay;
}

// The sample assay's JSON with one member replaced (a path of keys).
std::string Changed(const std::vector<std::string>& path, const nlohmann::json& value) {
  nlohmann::ordered_json json = nlohmann::ordered_json::parse(WriteAssay(Sample()));
  nlohmann::ordered_json* at = &json;
  for (size_t i = 0; i + 1 < path.size(); ++i) at = &(*at)[path[i]];
  if (value.is_discarded()) {
    at->erase(path.back());
  } else {
    (*at)[path.back()] = value;
  }
  return json.dump();
}

}  // namespace

TEST(Assay, RoundTripsThroughItsFileAndKeepsTheDefaultsOfANewAssay) {
  const Assay assay = Sample();
  const AssayParse parse = ParseAssay(WriteAssay(assay));
  ASSERT_TRUE(parse.ok) << parse.message;
  EXPECT_EQ(parse.assay, assay);
  EXPECT_EQ(parse.assay.layout.unit, "pg/mL");

  const Assay fresh = NewAssay("new");
  EXPECT_EQ(fresh.qc.blankMax, 0.100);
  EXPECT_EQ(fresh.qc.r2Min, 0.98);
  EXPECT_EQ(fresh.qc.recoveryPercent, 20);
  EXPECT_EQ(fresh.qc.recoveryPercentAtEnds, 25);
  EXPECT_EQ(fresh.qc.levelsPassingShare, 0.75);
  EXPECT_EQ(fresh.qc.levelsMin, 4);
  EXPECT_EQ(fresh.qc.cvMax, 20);
  EXPECT_TRUE(fresh.qc.controlsInRange);
  EXPECT_EQ(fresh.significantDigits, 4);

  // A rule left out of the file is not checked; the file says "format": 1.
  const AssayParse sparse = ParseAssay(R"({"format": 1, "name": "x", "reading": {"primary": 405},
                                           "qc": {"cvMax": 10}})");
  ASSERT_TRUE(sparse.ok) << sparse.message;
  EXPECT_EQ(sparse.assay.qc.cvMax, 10);
  EXPECT_FALSE(sparse.assay.qc.blankMax || sparse.assay.qc.r2Min || sparse.assay.qc.levelsMin);
  EXPECT_FALSE(sparse.assay.qc.controlsInRange);
  EXPECT_EQ(nlohmann::json::parse(WriteAssay(assay))["format"], 1);

  // Saved and read back from a file; made from a layout file.
  char pattern[] = "/tmp/platovix-assay-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  std::string error;
  ASSERT_TRUE(SaveAssayFile((dir / "a.json").string(), assay, &error)) << error;
  EXPECT_EQ(ReadAssayFile((dir / "a.json").string()).assay, assay);
  Assay broken = assay;
  broken.qc.cvMax = 101;
  EXPECT_FALSE(SaveAssayFile((dir / "b.json").string(), broken, &error));
  EXPECT_EQ(error, "qc.cvMax: must be between 0 and 100");
  EXPECT_FALSE(fs::exists(dir / "b.json"));
  const AssayParse fromLayout = AssayFromLayoutFile(kExamples + "elisa-layout.csv");
  ASSERT_TRUE(fromLayout.ok);
  EXPECT_EQ(fromLayout.assay.name, "elisa-layout");
  EXPECT_EQ(fromLayout.assay.layout, assay.layout);
  const AssayParse missing = ReadAssayFile((dir / "none.json").string());
  EXPECT_EQ(missing.message, (dir / "none.json").string() + ": No such file or directory");
  fs::remove_all(dir);

  for (const char* name : {"elisa-assay.json", "bradford-assay.json", "kinetic-assay.json"}) {
    const AssayParse example = ReadAssayFile(kExamples + name);
    EXPECT_TRUE(example.ok) << example.message;
  }

  // A kinetic assay keeps its series and its analysis; other assays' files
  // say nothing of either.
  EXPECT_EQ(WriteAssay(assay).find("kinetic"), std::string::npos);
  Assay kinetic = assay;
  kinetic.reading.kinetic = AssayKineticReading{96, 7.5};
  kinetic.kinetic = KineticOptions{KineticMode::Rate, 7, 0.9};
  kinetic.rateResponse = true;
  const AssayParse back = ParseAssay(WriteAssay(kinetic));
  ASSERT_TRUE(back.ok) << back.message;
  EXPECT_EQ(back.assay, kinetic);
  const AssayParse defaults = ParseAssay(
      R"({"format": 1, "name": "x", "reading": {"primary": 405}, "analysis": {"kinetic": {}}})");
  ASSERT_TRUE(defaults.ok) << defaults.message;
  EXPECT_EQ(defaults.assay.kinetic, KineticOptions{});
}

TEST(Assay, NamesTheFieldAndTheRuleOfEveryMistake) {
  const nlohmann::json drop = nlohmann::json::value_t::discarded;
  const std::pair<std::string, std::string> cases[] = {
      {"{", "file: is not JSON: "},
      {Changed({"format"}, 2), "format: must be 1; 2 is not a format this program reads"},
      {Changed({"format"}, drop), "format: is required (1)"},
      {Changed({"name"}, ""), "name: must not be empty"},
      {Changed({"name"}, 5), "name: must be text"},
      {Changed({"colour"}, "red"), "colour: is not a field of an assay"},
      {Changed({"reading"}, drop), "reading: is required"},
      {Changed({"reading", "primary"}, 1000), "reading.primary: must be 100 to 999 nm"},
      {Changed({"reading", "primary"}, 450.5), "reading.primary: must be a whole number"},
      {Changed({"reading", "reference"}, 492),
       "reading.reference: must differ from the primary filter"},
      {Changed({"reading", "askForPlate"}, "yes"), "reading.askForPlate: must be true or false"},
      {Changed({"layout"}, "A1 blank"),
       "layout: must be the layout file's lines, as a list of text"},
      {Changed({"layout"}, {"Role,1,2,3,4,5,6,7,8,9,10,11,12", "A,smaple"}), "layout: "},
      {Changed({"analysis", "model"}, "6pl"),
       "analysis.model: must be linear, 4pl, 5pl, quadratic or point-to-point"},
      {Changed({"analysis", "weighting"}, "1/x"), "analysis.weighting: must be none, 1/y or 1/y2"},
      {Changed({"analysis", "unit"}, "ng/mL"),
       "analysis.unit: differs from the layout's unit 'pg/mL'"},
      {Changed({"analysis", "significantDigits"}, 0),
       "analysis.significantDigits: must be between 1 and 15"},
      {Changed({"qc", "blankMax"}, -0.1), "qc.blankMax: must be between 0 and 4"},
      {Changed({"qc", "r2Min"}, 1.5), "qc.r2Min: must be between 0 and 1"},
      {Changed({"qc", "recoveryPercent"}, "20"), "qc.recoveryPercent: must be a number"},
      {Changed({"qc", "recoveryPercentAtEnds"}, 120),
       "qc.recoveryPercentAtEnds: must be between 0 and 100"},
      {Changed({"qc", "levelsPassingShare"}, 75), "qc.levelsPassingShare: must be between 0 and 1"},
      {Changed({"qc", "levelsMin"}, 2.5), "qc.levelsMin: must be a whole number"},
      {Changed({"qc", "cvMax"}, 120), "qc.cvMax: must be between 0 and 100"},
      {Changed({"qc", "cvMaxx"}, 12), "qc.cvMaxx: is not a field of an assay"},
      {Changed({"reading", "kinetic"}, {{"reads", 0}, {"intervalSeconds", 5}}),
       "reading.kinetic.reads: must be between 1 and 100000"},
      {Changed({"reading", "kinetic"}, {{"reads", 10}}),
       "reading.kinetic.intervalSeconds: is required"},
      {Changed({"reading", "kinetic"}, {{"reads", 10}, {"intervalSeconds", -1}}),
       "reading.kinetic.intervalSeconds: must be between 0 and 604800"},
      {Changed({"reading", "kinetic"}, {{"reads", 10}, {"every", 5}}),
       "reading.kinetic.every: is not a field of an assay"},
      {Changed({"analysis", "kinetic"}, {{"mode", "speed"}}),
       "analysis.kinetic.mode: must be rate or growth"},
      {Changed({"analysis", "kinetic"}, {{"window", 1}}),
       "analysis.kinetic.window: must be between 2 and 1000"},
      {Changed({"analysis", "kinetic"}, {{"r2Min", 2}}),
       "analysis.kinetic.r2Min: must be between 0 and 1"},
      {Changed({"analysis", "response"}, "slope"), "analysis.response: must be absorbance or rate"},
      {Changed({"analysis", "response"}, "rate"),
       "analysis.response: rate needs analysis.kinetic in rate mode"},
  };
  for (const auto& [text, error] : cases) {
    const AssayParse parse = ParseAssay(text);
    EXPECT_FALSE(parse.ok) << error;
    EXPECT_EQ(parse.message.substr(0, error.size()), error);
    EXPECT_EQ(parse.message, parse.error.Text());
  }

  // Broken JSON is said in words, where it breaks, without the parser's codes.
  const AssayParse broken = ParseAssay("{\n  \"format\": 1,\n  \"name\": \"kit\",,\n}\n");
  EXPECT_FALSE(broken.ok);
  EXPECT_EQ(broken.message.substr(0, 38), "file: is not JSON: line 3, column 17: ")
      << broken.message;
  for (const char* internal : {"json.exception", "parse_error", "[", "101"}) {
    EXPECT_EQ(broken.message.find(internal), std::string::npos) << broken.message;
  }
}

TEST(NumberFormat, WritesNumbersAsALabReportsThemInBothDecimalMarks) {
  EXPECT_EQ(FormatAbsorbance(0.1234), "0.123");
  EXPECT_EQ(FormatAbsorbance(-0.0001), "0.000");
  EXPECT_EQ(FormatAbsorbance(2.5, true), "2,500");
  EXPECT_EQ(FormatPercent(12.345), "12.3");
  EXPECT_EQ(FormatPercent(99.96, true), "100,0");
  EXPECT_EQ(FormatR2(0.99874), "0.9987");
  EXPECT_EQ(FormatR2(0.99874, true), "0,9987");
  EXPECT_EQ(FormatAbsorbance(std::nullopt), "");
  EXPECT_EQ(FormatSignificant(NAN, 4), "");

  const std::pair<double, std::string> significant[] = {
      {1234.6, "1235"},      {123456, "123500"},    {12.346, "12.35"},    {0.0012346, "0.001235"},
      {9999.6, "10000"},     {0.99996, "1.000"},    {-3.14159, "-3.142"}, {0, "0"},
      {2.6e16, "2.600e+16"}, {1.5e-8, "1.500e-08"}, {125, "125.0"}};
  for (const auto& [value, text] : significant) EXPECT_EQ(FormatSignificant(value, 4), text);
  EXPECT_EQ(FormatSignificant(1234.6, 3, true), "1230");
  EXPECT_EQ(FormatSignificant(12.345, 3, true), "12,3");
  EXPECT_EQ(FormatConcentration(0.5, {2, true}), "0,50");
}

TEST(NumberFormat, SortsNamesNaturallyAndPutsTicksOnRoundValues) {
  std::vector<std::string> names = {"S10", "S2", "s1", "Control", "S1", "P10b", "P10a", "S02"};
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
  EXPECT_EQ(names,
            (std::vector<std::string>{"Control", "P10a", "P10b", "S1", "s1", "S02", "S2", "S10"}));
  EXPECT_FALSE(NaturalLess("S2", "S2"));

  EXPECT_EQ(RoundTicks(0, 2000, 5), (std::vector<double>{0, 500, 1000, 1500, 2000}));
  EXPECT_EQ(RoundTicks(0.013, 2.87, 5), (std::vector<double>{0, 1, 2, 3}));
  EXPECT_EQ(RoundTicks(0.013, 2.87, 10), (std::vector<double>{0, 0.5, 1, 1.5, 2, 2.5, 3}));
  EXPECT_EQ(RoundTicks(7.8, 1000, 4), (std::vector<double>{0, 500, 1000}));
}

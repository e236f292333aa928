// --format asm: every document platovix-cli writes (measure and analyse,
// with and without a layout, a reference filter, wells without a value or
// wells read above the range)
// passes the Allotrope schema's own validator with the absorbance detector,
// and its absorbances read back equal the plate's.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "analysis/plate_layout.h"
#include "asm_export/asm_document.h"
#include "asm_export/asm_from_analysis.h"
#include "cli/cli_run.h"
#include "results/shared_state.h"
#include "sim/reader_simulator.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/elisa_plate.h"
#include "tests/support/temp_home.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Well name -> absorbance in mAU, from an ASM document.
std::map<std::string, double> AsmAbsorbances(const json& document) {
  std::map<std::string, double> wells;
  for (const json& well : document["plate reader aggregate document"]["plate reader document"]) {
    const json& measurement = well["measurement aggregate document"]["measurement document"][0];
    if (measurement.contains("error aggregate document")) continue;  // no reading
    wells[measurement["sample document"]["location identifier"]] =
        measurement["absorbance"]["value"].get<double>();
  }
  return wells;
}

// Well name -> thousandths, from platovix-cli's own JSON; wells without a
// value are left out, as ASM leaves them out.
std::map<std::string, double> JsonValues(const json& read) {
  std::map<std::string, double> wells;
  for (int well = 0; well < kWells; ++well) {
    const json& value = read["values"][well / kColumns][well % kColumns];
    if (!value.is_null()) wells[analysis::WellName(well)] = value.get<double>();
  }
  return wells;
}

class AsmExport : public ::testing::Test {
 protected:
  // The same plate twice from the simulator, which reads the same values
  // every time: as platovix-cli's JSON and as ASM (into file).
  json MeasureBoth(sim::PtySimulator& reader, const std::vector<std::string>& options,
                   const std::string& file) {
    std::vector<std::string> args = {"--port", reader.slavePath(), "--yes", "measure"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<std::string> asmArgs = args;
    asmArgs.insert(asmArgs.end(), {"--format", "asm", "-o", (home_ / file).string()});
    AppSettings = TAppSettings{};  // the family of the run before stays in the globals otherwise
    const CliRun asmRun = RunCliWith(asmArgs);
    EXPECT_EQ(asmRun.code, kExitSuccess) << asmRun.err;
    args.insert(args.end(), {"--format", "json"});
    AppSettings = TAppSettings{};
    const CliRun jsonRun = RunCliWith(args);
    EXPECT_EQ(jsonRun.code, kExitSuccess) << jsonRun.err;
    return json::parse(jsonRun.out);
  }

  TempHome temp_{"asm"};
  const fs::path home_ = temp_.path();
};

}  // namespace

TEST_F(AsmExport, EveryOutputPassesTheSchemaAndReadsBackThePlate) {
  const std::string layout = (home_ / "layout.csv").string();
  std::ofstream(layout) << elisa_plate::LayoutFile();
  std::ofstream(home_ / "readings.txt") << elisa_plate::PlateFile(true);
  sim::Options digiScan;
  digiScan.measureMs = 100;
  digiScan.plateFile = (home_ / "readings.txt").string();
  sim::Options jupiter;
  jupiter.measureMs = 100;
  jupiter.family = sim::Family::Jupiter;

  std::map<std::string, json> expected;  // ASM file -> the plate as JSON
  {
    sim::PtySimulator reader(digiScan);
    expected["plain.json"] = MeasureBoth(reader, {"--primary", "450"}, "plain.json");
  }
  {
    sim::PtySimulator reader(jupiter);
    expected["jupiter.json"] = MeasureBoth(
        reader, {"--family", "jupiter", "--primary", "405", "--reference", "620"}, "jupiter.json");
  }
  {
    sim::PtySimulator reader(digiScan);
    const json plate = MeasureBoth(
        reader,
        {"--primary", "450", "--reference", "620", "--layout", layout, "--plate-id", "ELISA-7"},
        "analysed.json");
    expected["analysed.json"] = plate;
    ASSERT_EQ(JsonValues(plate).size(), 94u) << "G12 and H12 have no value";
    std::ofstream(home_ / "saved.json") << plate.dump();
  }
  {
    // Wells read above the range have no absorbance, but an error document.
    sim::Options spilled = jupiter;
    spilled.overflow = true;
    sim::PtySimulator reader(spilled);
    expected["over-range.json"] =
        MeasureBoth(reader, {"--family", "jupiter", "--primary", "405", "--reference", "620"},
                    "over-range.json");
    EXPECT_EQ(expected["over-range.json"]["overRange"], json({"A6", "D7", "H8"}));
  }
  {
    // archive export --format asm: a stored read as a document of its own.
    sim::PtySimulator reader(jupiter);
    const std::string archive = (home_ / "archive.sqlite").string();
    AppSettings = TAppSettings{};
    const CliRun measured =
        RunCliWith({"--port", reader.slavePath(), "--yes", "measure", "--family", "jupiter",
                    "--primary", "405", "--archive", archive, "--format", "json"});
    ASSERT_EQ(measured.code, kExitSuccess) << measured.err;
    expected["archived.json"] = json::parse(measured.out);
    const CliRun list = RunCliWith({"archive", "list", "--archive", archive, "--format", "json"});
    ASSERT_EQ(list.code, kExitSuccess) << list.err;
    const std::string uuid = json::parse(list.out).at(0)["uuid"];
    const CliRun exported = RunCliWith({"archive", "export", "--archive", archive, "--format",
                                        "asm", "-o", (home_ / "archived.json").string(), uuid});
    ASSERT_EQ(exported.code, kExitSuccess) << exported.err;
  }
  // analyse: one document per plate, numbered when there are several.
  const CliRun analyse = RunCliWith(
      {"analyse", "--layout", layout, "--format", "asm", "-o", (home_ / "again.json").string(),
       (home_ / "saved.json").string(), (home_ / "saved.json").string()});
  ASSERT_EQ(analyse.code, kExitSuccess) << analyse.err;
  expected["again-1.json"] = expected["again-2.json"] = expected["analysed.json"];

  // A read that failed half way, with a well left out later: its status
  // and the exclusion are the document's custom information, and the
  // excluded well is no source of its group's concentration.
  {
    AsmPlate failed;
    const std::array<int, 96> primary = elisa_plate::Primary(false);
    std::copy(primary.begin(), primary.end(), failed.plate.nValue);
    std::fill(std::begin(failed.plate.nValue) + 48, std::end(failed.plate.nValue), kNoValue);
    failed.plate.nPrimary = 450;
    failed.context.started = std::chrono::system_clock::now();
    failed.context.record.status = "failed";
    failed.context.record.statusMessage = "The reader did not answer.";
    failed.context.record.excluded = {
        {4, "bubble in the well", "lab", "2026-12-09T10:00:00+01:00"}};
    const analysis::LayoutParse parsed = analysis::ReadLayoutFile(layout);
    ASSERT_TRUE(parsed.ok);
    analysis::AnalysisOptions options;
    options.excluded = {{4, "bubble in the well"}};
    const analysis::PlateAnalysis result =
        analysis::AnalysePlate(failed.plate.nValue, parsed.layout, options);
    failed = AsmPlateOf(failed.plate, failed.context, "", &parsed.layout, &result);
    const AsmDocument document = BuildAsmDocument(failed);
    ASSERT_TRUE(document.ok) << document.error;
    std::ofstream(home_ / "failed.json") << document.json;
    const json aggregate = json::parse(document.json)["plate reader aggregate document"];
    EXPECT_EQ(aggregate["custom information aggregate document"]["custom information document"],
              json::parse(R"json([
                {"datum label": "read status", "scalar string datum": "failed"},
                {"datum label": "read status message",
                 "scalar string datum": "The reader did not answer."},
                {"datum label": "excluded well", "scalar string datum":
                 "A5: bubble in the well (lab, 2026-12-09T10:00:00+01:00)"}])json"));
    bool s1 = false;
    for (const json& value :
         aggregate["calculated data aggregate document"]["calculated data document"]) {
      if (value["calculated data name"] != "S1 concentration") continue;
      s1 = true;
      const json& sources = value["data source aggregate document"]["data source document"];
      ASSERT_EQ(sources.size(), 1u);
      EXPECT_NE(sources[0]["data source identifier"].get<std::string>().find(":A4"),
                std::string::npos);
    }
    EXPECT_TRUE(s1) << document.json;
  }

  std::string files = " " + (home_ / "failed.json").string();
  for (const auto& [file, plate] : expected) files += " " + (home_ / file).string();
  const std::string report = (home_ / "validation.txt").string();
  const std::string command =
      "/usr/bin/python3 " + test_paths::SourceDir() +
      "/tests/asm/allotrope/validate_asm.py --detector absorbance-point-detector" + files + " >" +
      report + " 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadFile(report);

  for (const auto& [file, plate] : expected) {
    SCOPED_TRACE(file);
    const json document = json::parse(ReadFile(home_ / file));
    EXPECT_EQ(AsmAbsorbances(document), JsonValues(plate));
    const json& aggregate = document["plate reader aggregate document"];
    EXPECT_EQ(aggregate["device system document"]["device identifier"], plate["reader_id"]);
    EXPECT_EQ(aggregate["device system document"]["model number"], plate["reader"]);
    const json& first = aggregate["plate reader document"][0]["measurement aggregate document"];
    // measure read the plate twice; analyse's documents have the saved read's time.
    if (file.rfind("again", 0) == 0) {
      EXPECT_EQ(first["measurement time"], plate["completed"]);
    }
    const json& control = first["measurement document"][0]["device control aggregate document"]
                               ["device control document"][0];
    EXPECT_EQ(control["detector wavelength setting"]["value"], plate["primary_nm"]);
    EXPECT_EQ(control.contains("electronic absorbance reference wavelength setting"),
              !plate["reference_nm"].is_null());
    EXPECT_EQ(aggregate.contains("calculated data aggregate document"),
              file != "plain.json" && file != "jupiter.json" && file != "archived.json" &&
                  file != "over-range.json");
  }
  // Over range: a document, but an error says the number is no reading.
  std::map<std::string, std::string> errors;
  const json overRange = json::parse(ReadFile(home_ / "over-range.json"));
  for (const json& well : overRange["plate reader aggregate document"]["plate reader document"]) {
    const json& measurement = well["measurement aggregate document"]["measurement document"][0];
    if (!measurement.contains("error aggregate document")) continue;
    const json& error = measurement["error aggregate document"]["error document"][0];
    EXPECT_EQ(error["error feature"], "absorbance");
    errors[measurement["sample document"]["location identifier"]] = error["error"];
  }
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors["D7"],
            "D7: above the reader's range; 9999 mAU is the no-value marker, not a reading");
  EXPECT_TRUE(errors.count("A6") && errors.count("H8"));
  // The layout's names and the plate's identity reach the sample documents.
  const std::string dump = nlohmann::ordered_json::parse(ReadFile(home_ / "analysed.json")).dump();
  EXPECT_NE(
      dump.find(
          R"("sample identifier":"S1","location identifier":"A4","well plate identifier":"ELISA-7")"),
      std::string::npos);
  EXPECT_NE(dump.find(R"("calculated data name":"S1 concentration")"), std::string::npos);
  EXPECT_NE(ReadFile(home_ / "again-2.json").find(R"("well plate identifier": "saved")"),
            std::string::npos);
}

TEST_F(AsmExport, APlateThatMakesNoValidDocumentIsRefusedWithAReason) {
  AsmPlate empty{};
  std::fill(std::begin(empty.plate.nValue), std::end(empty.plate.nValue), kNoValue);
  empty.context.started = std::chrono::system_clock::now();
  EXPECT_EQ(BuildAsmDocument(empty).error, "no well of the plate has a value");
  empty.context.record.status = "aborted";
  EXPECT_EQ(BuildAsmDocument(empty).error, "no well of the plate has a value: the read aborted");
  AsmPlate timeless{};
  EXPECT_EQ(BuildAsmDocument(timeless).error,
            "the read has no time, and an ASM document needs one");

  // A series would need one document per read.
  EXPECT_EQ(RunCliWith(
                {"measure", "--primary", "450", "--format", "asm", "--repeat", "2", "--every", "1"})
                .code,
            kExitUsage);
}

// An enzyme assay whose response is the rate, and a saved series of ten
// reads 30 s apart for it: standards of 0 to 70 U/mL down column 1 turn
// over 2 mOD/min per U/mL, samples S1 to S8 of 5 to 75 U/mL down column 2,
// blanks in column 12, every other well stays at 0.045.
#pragma once

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/assay.h"
#include "results/result_file.h"

struct ActivitySeries {
  std::string assayPath;
  std::string seriesPath;
  std::vector<TPlateResult> plates;  // as saved, one per read
  std::vector<double> seconds;       // each read's elapsed time
};

// "Phosphatase activity" on layout, its response the rate: reads of 405 nm
// every intervalSeconds and a straight standard curve of the rates.
inline analysis::Assay RateAssay(const analysis::PlateLayout& layout, int reads,
                                 double intervalSeconds) {
  analysis::Assay assay = analysis::NewAssay("Phosphatase activity", layout);
  assay.reading.primary = 405;
  assay.reading.kinetic = analysis::AssayKineticReading{reads, intervalSeconds};
  assay.model = analysis::CurveModel::Linear;
  assay.kinetic = analysis::KineticOptions{};
  assay.rateResponse = true;
  return assay;
}

// Writes activity.json and series.json into dir; empty paths on failure.
inline ActivitySeries WriteActivitySeries(const std::filesystem::path& dir) {
  ActivitySeries made;
  analysis::PlateLayout layout;
  layout.unit = "U/mL";
  for (int row = 0; row < 8; ++row) {
    layout.wells[row * 12] = {analysis::WellRole::Standard, "", 10.0 * row, {}, {}};
    layout.wells[row * 12 + 1] = {
        analysis::WellRole::Sample, "S" + std::to_string(row + 1), {}, {}, {}};
    layout.wells[row * 12 + 11].role = analysis::WellRole::Blank;
  }
  analysis::Assay assay = RateAssay(layout, 10, 30);
  assay.qc.blankMax = 0.5;  // mOD/min: the blanks' own turnover
  std::string error;
  const std::string assayPath = (dir / "activity.json").string();
  if (!analysis::SaveAssayFile(assayPath, assay, &error)) return made;

  std::string series = "[\n";
  for (int read = 0; read < 10; ++read) {
    TPlateResult plate;
    std::fill(std::begin(plate.nValue), std::end(plate.nValue), 45);
    const double minutes = read * 0.5;
    for (int row = 0; row < 8; ++row) {
      plate.nValue[row * 12] = 45 + static_cast<int32_t>(std::lround(20.0 * row * minutes));
      plate.nValue[row * 12 + 1] =
          45 + static_cast<int32_t>(std::lround(2 * (5 + 10.0 * row) * minutes));
    }
    plate.nPrimary = 405;
    ResultContext context;
    context.elapsedSeconds = 30.0 * read;
    series += (read > 0 ? ",\n" : "") + BuildResultJson(plate, context);
    made.plates.push_back(plate);
    made.seconds.push_back(30.0 * read);
  }
  const std::string seriesPath = (dir / "series.json").string();
  std::ofstream(seriesPath) << series << "]\n";
  made.assayPath = assayPath;
  made.seriesPath = seriesPath;
  return made;
}

// The SiLA forms of a measured plate and of its analysis under an assay:
// the plate fields Measure Plate and Measure Assay share, the groups and the
// verdict of our feature's data types.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "PlateReaderController.pb.h"
#include "analysis/plate_analysis.h"
#include "archive/plate_read.h"
#include "results/shared_state.h"

namespace prc = sila2::de::platovix::instruments::platereadercontroller::v1;
namespace silafw = sila2::org::silastandard;

struct MeasuredPlate {
  int32_t values[kWells];          // thousandths; kNoValue for a well without a value
  uint8_t overRange[kWells] = {};  // 1 where the reader read above its range
  std::string readerId;
  int primary = 0;
  int reference = 0;  // 0 = none
  std::chrono::system_clock::time_point started;
  std::chrono::system_clock::time_point completed;
};

// The archive's record of a read as the other front ends make it.
archive::PlateRead RecordOf(const MeasuredPlate& plate, const std::string& readerKind,
                            const std::string& device);

void SetTimestamp(std::chrono::system_clock::time_point when, silafw::Timestamp* stamp);

// Fills the plate's fields of MeasurePlate_Responses or of the Plate structure.
template <typename Out>
void FillPlate(const MeasuredPlate& plate, Out* out) {
  for (int well = 0; well < kWells; ++well) {
    const bool noValue = plate.values[well] == kNoValue;
    out->add_absorbances()->set_value(noValue ? 0.0 : plate.values[well] / 1000.0);
    if (noValue) out->add_novaluewells()->set_value(analysis::WellName(well));
  }
  out->mutable_readeridentification()->set_value(plate.readerId);
  out->add_filters()->set_value(plate.primary);
  if (plate.reference != 0) out->add_filters()->set_value(plate.reference);
  SetTimestamp(plate.started, out->mutable_starttime());
  SetTimestamp(plate.completed, out->mutable_completiontime());
}

// Groups, unit and verdict of MeasureAssay_Responses (the plate apart) or
// of the Rate Analysis structure (instantiated for both).
template <typename Out>
void FillAnalysis(const analysis::PlateAnalysis& analysis, Out* out);

// The standard curve's model, parameters and fit (or why there is none).
void FillCurve(const analysis::CurveFit& fit,
               prc::DataType_StandardCurve_StandardCurve_Struct* out);

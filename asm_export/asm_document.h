// One plate as an Allotrope Simple Model (ASM) plate-reader document,
// release REC/2025/03: one plate reader document per well with a value (a
// well read above the range gets one too, with an error document), the
// absorbance in mAU (our thousandths are exactly mAU), the filters as the
// detector and reference wavelength settings, and calculated data (the
// analysis' concentrations) pointing back at the wells they come from. A
// read that did not complete says so, and the wells left out of its
// analysis are listed with their reasons, as custom information.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "results/result_file.h"
#include "results/shared_state.h"

inline constexpr char kAsmPlateReaderManifest[] =
    "http://purl.allotrope.org/manifests/plate-reader/REC/2025/03/plate-reader.manifest";

// A result worked out from several wells, e.g. a sample's concentration.
struct AsmCalculatedValue {
  std::string name;         // "concentration"
  std::string description;  // how it was worked out, for the person reading the LIMS
  double value = 0;
  std::string unit;        // a QUDT symbol; "(unitless)" when the layout names none
  std::vector<int> wells;  // 0..95, the wells it was worked out from
};

struct AsmPlate {
  TPlateResult plate;
  ResultContext context;
  std::string plateId;  // the plate's barcode or name; empty when not known
  // Per well: the sample identifier (the layout's name), and the ASM sample
  // role type ("standard sample role", ...); empty when not known.
  std::array<std::string, kWells> sampleNames;
  std::array<std::string, kWells> roles;
  std::vector<AsmCalculatedValue> calculated;
};

struct AsmDocument {
  bool ok = false;
  std::string json;   // indented, ending in a newline
  std::string error;  // one line, when not ok
};

// Fails only when the document could not be valid: no well with a value,
// or no time for the read.
AsmDocument BuildAsmDocument(const AsmPlate& plate);

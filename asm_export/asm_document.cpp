#include "asm_export/asm_document.h"

#include <nlohmann/json.hpp>

#include "analysis/plate_layout.h"

namespace {

using Json = nlohmann::ordered_json;

Json Quantity(double value, const std::string& unit) {
  return Json{{"value", value}, {"unit", unit}};
}

Json Quantity(int32_t value, const std::string& unit) {
  return Json{{"value", value}, {"unit", unit}};
}

// Unique within the document and stable for the same read: the time of the
// read, the device and the well.
std::string MeasurementId(const std::string& time, const std::string& device, int well) {
  return "platovix:" + device + ":" + time + ":" + analysis::WellName(well);
}

std::string DeviceIdentifier(const ResultContext& context) {
  if (!context.readerId.empty()) return context.readerId;
  return context.readerKind.empty() ? "unknown" : context.readerKind;
}

Json DeviceControl(const TPlateResult& plate) {
  Json control{{"device type", "plate reader"}};
  if (plate.nPrimary != 0) control["detector wavelength setting"] = Quantity(plate.nPrimary, "nm");
  if (plate.nReference != 0) {
    control["electronic absorbance reference wavelength setting"] =
        Quantity(plate.nReference, "nm");
  }
  return Json{{"device control document", Json::array({control})}};
}

Json SampleDocument(const AsmPlate& in, int well) {
  const std::string location = analysis::WellName(well);
  const std::string& name = in.sampleNames[static_cast<size_t>(well)];
  std::string id = name;
  if (id.empty()) id = in.plateId.empty() ? location : in.plateId + " " + location;
  Json sample{{"sample identifier", id}, {"location identifier", location}};
  if (!in.plateId.empty()) sample["well plate identifier"] = in.plateId;
  if (!in.roles[static_cast<size_t>(well)].empty()) {
    sample["sample role type"] = in.roles[static_cast<size_t>(well)];
  }
  return sample;
}

Json CalculatedData(const AsmPlate& in, const std::string& time, const std::string& device) {
  Json documents = Json::array();
  for (const AsmCalculatedValue& value : in.calculated) {
    Json sources = Json::array();
    for (int well : value.wells) {
      if (in.plate.nValue[well] == kNoValue) continue;
      sources.push_back({{"data source identifier", MeasurementId(time, device, well)},
                         {"data source feature", "absorbance"}});
    }
    Json document{
        {"calculated data identifier",
         "platovix:" + device + ":" + time + ":calculated:" + std::to_string(documents.size() + 1)},
        {"calculated data name", value.name},
        {"calculated result", Quantity(value.value, value.unit)}};
    if (!value.description.empty()) document["calculation description"] = value.description;
    if (!sources.empty())
      document["data source aggregate document"] = {{"data source document", sources}};
    documents.push_back(std::move(document));
  }
  return documents;
}

// What the archive knows of the read beyond its numbers: a read that did
// not complete, and the wells left out of its analysis, each with why, who
// and when. Null for a completed read without exclusions, whose document
// stays as it was.
Json RecordInformation(const ReadRecordNotes& record) {
  Json documents = Json::array();
  const auto add = [&documents](const std::string& label, const std::string& text) {
    documents.push_back({{"datum label", label}, {"scalar string datum", text}});
  };
  if (!record.status.empty()) add("read status", record.status);
  if (!record.statusMessage.empty()) add("read status message", record.statusMessage);
  for (const ExcludedWellNote& note : record.excluded) {
    std::string text = analysis::WellName(note.well);
    if (!note.reason.empty()) text += ": " + note.reason;
    std::string by = note.who;
    if (!note.when.empty()) by += (by.empty() ? "" : ", ") + note.when;
    if (!by.empty()) text += " (" + by + ")";
    add("excluded well", text);
  }
  if (documents.empty()) return nullptr;
  return {{"custom information document", std::move(documents)}};
}

}  // namespace

AsmDocument BuildAsmDocument(const AsmPlate& in) {
  AsmDocument out;
  auto when = ReadCompletionTime(in.plate, in.context);
  if (!when) when = in.context.started;
  if (!when) {
    out.error = "the read has no time, and an ASM document needs one";
    return out;
  }
  const std::string time = FormatIsoLocalTime(*when);
  const std::string device = DeviceIdentifier(in.context);

  Json wells = Json::array();
  bool measured = false;
  for (int well = 0; well < kWells; ++well) {
    const int32_t value = in.plate.nValue[well];
    const bool overRange = value == kNoValue && in.plate.bOverRange[well] != 0;
    if (value == kNoValue && !overRange) continue;  // ASM has no absorbance without a number
    measured = measured || !overRange;
    Json measurement{{"measurement identifier", MeasurementId(time, device, well)},
                     {"sample document", SampleDocument(in, well)},
                     {"device control aggregate document", DeviceControl(in.plate)},
                     {"absorbance", Quantity(value, "mAU")}};
    if (overRange) {
      // A document needs a number here: the plate's own marker, as the
      // result text has it, with an error that says what it stands for.
      const Json error{{"error", analysis::WellName(well) +
                                     ": above the reader's range; 9999 mAU is the no-value "
                                     "marker, not a reading"},
                       {"error feature", "absorbance"}};
      measurement["error aggregate document"] = {{"error document", Json::array({error})}};
    }
    Json aggregate{{"measurement time", time},
                   {"plate well count", Quantity(kWells, "#")},
                   {"container type", "well plate"},
                   {"measurement document", Json::array({std::move(measurement)})}};
    wells.push_back({{"measurement aggregate document", std::move(aggregate)}});
  }
  if (!measured) {
    out.error = "no well of the plate has a value";
    if (!in.context.record.status.empty()) out.error += ": the read " + in.context.record.status;
    return out;
  }

  Json system{{"device identifier", device},
              {"model number", in.context.readerKind.empty() ? "unknown" : in.context.readerKind}};
  if (!in.context.readerId.empty()) system["equipment serial number"] = in.context.readerId;
  Json aggregate{{"device system document", std::move(system)},
                 {"plate reader document", std::move(wells)}};
  if (!in.calculated.empty()) {
    aggregate["calculated data aggregate document"] = {
        {"calculated data document", CalculatedData(in, time, device)}};
  }
  if (Json information = RecordInformation(in.context.record); !information.is_null()) {
    aggregate["custom information aggregate document"] = std::move(information);
  }
  const Json document{{"$asm.manifest", kAsmPlateReaderManifest},
                      {"plate reader aggregate document", std::move(aggregate)}};
  out.json = document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  out.ok = true;
  return out;
}

#include "history/history_export.h"

#include <QString>

#include "analysis/analysis_workbook.h"
#include "history/archived_plate.h"
#include "results/atomic_file.h"
#include "results/result_file.h"

namespace {

bool EndsWith(const std::string& path, const char* suffix) {
  return QString::fromStdString(path).endsWith(QString::fromLatin1(suffix), Qt::CaseInsensitive);
}

bool WriteWorkbook(const std::string& path, const std::vector<archive::ReadState>& reads,
                   std::string* error) {
  std::vector<analysis::WorkbookPlate> sheets;
  const analysis::PlateLayout* layout = nullptr;
  std::vector<ShownPlate> shown;
  shown.reserve(reads.size());
  for (const archive::ReadState& read : reads) {
    shown.push_back(ShownPlateOfState(read));
    const ShownPlate& plate = shown.back();
    analysis::WorkbookPlate sheet;
    sheet.title = !read.plateId.empty() ? read.plateId : read.read.uuid;
    sheet.plate = plate.plate;
    sheet.context = ShownFileContext(plate);
    if (plate.assay && plate.status == "completed") {
      sheet.analysis = AnalyseShownPlate(plate, plate.assay->layout);
      if (layout == nullptr) layout = &plate.assay->layout;
    }
    sheets.push_back(std::move(sheet));
  }
  return analysis::WriteAnalysisWorkbook(path, sheets, layout, error);
}

}  // namespace

bool ExportReads(const std::string& path, const std::vector<archive::ReadState>& reads,
                 bool decimalComma, std::string* error) {
  if (reads.empty()) {
    *error = "no read is selected";
    return false;
  }
  if (EndsWith(path, ".xlsx")) return WriteWorkbook(path, reads, error);
  const bool json = EndsWith(path, ".json");
  const bool series = reads.size() > 1;
  std::string text = json && series ? "[\n" : "";
  for (size_t i = 0; i < reads.size(); ++i) {
    TPlateResult plate;
    ResultContext context;
    PlateOfRead(reads[i].read, &plate, &context);
    context.record = archive::RecordNotesOf(reads[i]);
    if (i > 0) text += json ? ",\n" : "\n";
    text += json ? BuildResultJson(plate, context) : BuildResultCsv(plate, context, decimalComma);
  }
  if (json) text += series ? "\n]\n" : "\n";
  return WriteFileAtomically(path, text, error);
}

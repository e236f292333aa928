// The workbook read back from its sheet XML: three sheets, the plate's
// grid, the layout and the analysis as numbers (not text) equal to what
// the analysis computed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "analysis/analysis_report.h"
#include "analysis/analysis_workbook.h"
#include "analysis/number_format.h"
#include "tests/analysis/xlsx_reader.h"

using namespace analysis;
namespace fs = std::filesystem;

namespace {

std::string Column(int index) {
  return std::string(1, static_cast<char>('A' + index));
}

class AnalysisWorkbook : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/platovix-xlsx-XXXXXX";
    directory_ = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(directory_); }
  fs::path directory_;
};

TEST_F(AnalysisWorkbook, HoldsThePlateTheLayoutAndTheAnalysisAsNumbers) {
  WorkbookPlate item;
  item.title = "plate.csv";
  for (int i = 0; i < 96; ++i) item.plate.nValue[i] = 40 + i * 31;
  item.plate.nValue[7] = 9999;
  item.plate.nPrimary = 450;
  PlateLayout layout;
  layout.unit = "ng/mL";
  const double levels[] = {0, 10, 20, 40, 80, 160};
  for (int level = 0; level < 6; ++level) {
    layout.wells[level].role = WellRole::Standard;
    layout.wells[level].concentration = levels[level];
  }
  layout.wells[12] = {WellRole::Sample, "S1 & <co>", std::nullopt, 2.0, std::nullopt};
  layout.wells[24].role = WellRole::Blank;
  item.analysis = AnalysePlate(item.plate.nValue, layout, {CurveModel::Linear, Weighting::None});
  ASSERT_TRUE(item.analysis->fit.fitted);

  const std::string path = (directory_ / "out.xlsx").string();
  std::string error;
  ASSERT_TRUE(WriteAnalysisWorkbook(path, {item}, &layout, &error)) << error;
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_read, fs::perms::owner_read);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(directory_)) left.push_back(entry.path());
  EXPECT_EQ(left, std::vector<std::string>{path}) << "no scratch file left behind";

  const xlsx_reader::Workbook book = xlsx_reader::Read(path);
  ASSERT_EQ(book.sheetNames, (std::vector<std::string>{"Plate", "Layout", "Analysis"}));

  // Plate: title, six metadata rows, a blank row, the header, rows A..H.
  EXPECT_EQ(book.At(0, "A1")->text, "plate.csv");
  EXPECT_EQ(book.At(0, "A4")->text, "primary [nm]");
  EXPECT_TRUE(book.At(0, "B4")->isNumber);
  EXPECT_EQ(book.At(0, "B4")->number, 450);
  EXPECT_EQ(book.At(0, "M9")->number, 12);
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 12; ++column) {
      const int well = row * 12 + column;
      const auto* cell = book.At(0, Column(column + 1) + std::to_string(10 + row));
      if (well == 7) {
        EXPECT_EQ(cell, nullptr) << "a well without value is an empty cell";
        continue;
      }
      ASSERT_NE(cell, nullptr) << well;
      EXPECT_TRUE(cell->isNumber);
      EXPECT_DOUBLE_EQ(cell->number, item.plate.nValue[well] / 1000.0);
    }
  }

  // Layout: the Role block first, then Name, Concentration as numbers.
  EXPECT_EQ(book.At(1, "A1")->text, "Role");
  EXPECT_EQ(book.At(1, "B2")->text, "standard");
  EXPECT_EQ(book.At(1, "B3")->text, "sample");
  EXPECT_EQ(book.At(1, "A11")->text, "Name");
  EXPECT_EQ(book.At(1, "B13")->text, "S1 & <co>");
  EXPECT_EQ(book.At(1, "A21")->text, "Concentration");
  EXPECT_TRUE(book.At(1, "F22")->isNumber);
  EXPECT_EQ(book.At(1, "F22")->number, 80);

  // Analysis: the fit, then the table with its numbers.
  const PlateAnalysis& analysis = *item.analysis;
  EXPECT_EQ(book.At(2, "A2")->text, "blank");
  EXPECT_DOUBLE_EQ(book.At(2, "B2")->number, *analysis.blank);
  EXPECT_EQ(book.At(2, "A6")->text, "intercept");
  EXPECT_DOUBLE_EQ(book.At(2, "B6")->number, analysis.fit.parameters[0].value);
  EXPECT_DOUBLE_EQ(book.At(2, "B7")->number, analysis.fit.parameters[1].value);
  EXPECT_DOUBLE_EQ(book.At(2, "B8")->number, analysis.fit.r2);
  EXPECT_EQ(book.At(2, "A10")->text, "Name");
  EXPECT_EQ(book.At(2, "G10")->text, "Concentration");
  for (size_t g = 0; g < analysis.groups.size(); ++g) {
    const GroupResult& group = analysis.groups[g];
    const std::string row = std::to_string(11 + g);
    EXPECT_EQ(book.At(2, "A" + row)->text, group.name);
    EXPECT_DOUBLE_EQ(book.At(2, "D" + row)->number, *group.mean);
    ASSERT_TRUE(group.concentration);
    EXPECT_TRUE(book.At(2, "G" + row)->isNumber);
    EXPECT_DOUBLE_EQ(book.At(2, "G" + row)->number, *group.concentration);
  }
  EXPECT_EQ(book.At(2, "A17")->text, "S1 & <co>");
}

TEST_F(AnalysisWorkbook, WithoutALayoutSaysSo) {
  WorkbookPlate item;
  const std::string path = (directory_ / "plain.xlsx").string();
  std::string error;
  ASSERT_TRUE(WriteAnalysisWorkbook(path, {item}, nullptr, &error)) << error;
  const xlsx_reader::Workbook book = xlsx_reader::Read(path);
  EXPECT_EQ(book.At(1, "A1")->text, "No layout.");
  EXPECT_EQ(book.At(2, "A1")->text, "No layout.");

  EXPECT_FALSE(WriteAnalysisWorkbook("/nonexistent/x.xlsx", {item}, nullptr, &error));
  EXPECT_EQ(error, "No such file or directory");
}

}  // namespace

// The decimals a format code shows: "0.000" 3, "0" 0, "0.00E+00" 2.
int DecimalsOf(const std::string& code) {
  const size_t point = code.find('.');
  return point == std::string::npos
             ? 0
             : static_cast<int>(code.find_first_not_of('0', point + 1) == std::string::npos
                                    ? code.size() - point - 1
                                    : code.find_first_not_of('0', point + 1) - point - 1);
}

TEST_F(AnalysisWorkbook, NumbersShowAsTheAnalysisWindowShowsThemAndKeepTheirPrecision) {
  WorkbookPlate item;
  // A straight standard curve, 0.003 OD per unit over a blank of 0.050, and
  // samples whose concentrations need 0 to 4 decimals at 4 significant digits.
  for (int i = 0; i < 96; ++i) item.plate.nValue[i] = 50;
  PlateLayout layout;
  const int levels[] = {0, 10, 100, 1000};
  for (int level = 0; level < 4; ++level) {
    for (int copy = 0; copy < 2; ++copy) {
      const int well = level * 12 + copy;
      layout.wells[well].role = WellRole::Standard;
      layout.wells[well].concentration = levels[level];
      item.plate.nValue[well] = 50 + 3 * levels[level] + copy;
    }
  }
  const int samples[] = {51, 60, 90, 500, 2500};
  for (int s = 0; s < 5; ++s) {
    const int well = 48 + s;
    layout.wells[well] = {WellRole::Sample, "S" + std::to_string(s), std::nullopt, 1.0,
                          std::nullopt};
    item.plate.nValue[well] = samples[s];
  }
  AnalysisOptions options(CurveModel::Linear);
  options.significantDigits = 4;
  item.analysis = AnalysePlate(item.plate.nValue, layout, options);
  ASSERT_TRUE(item.analysis->fit.fitted);
  const std::string path = (directory_ / "lab.xlsx").string();
  std::string error;
  ASSERT_TRUE(WriteAnalysisWorkbook(path, {item}, &layout, &error)) << error;
  const xlsx_reader::Workbook book = xlsx_reader::Read(path);

  EXPECT_EQ(book.At(0, "C9")->numberFormat, "0.000");  // A2's absorbance
  EXPECT_DOUBLE_EQ(book.At(0, "C9")->number, 0.051);
  // Every number of the results table as the window's text has it: the
  // same decimals, the cell the unrounded value.
  const PlateAnalysis& analysis = *item.analysis;
  const auto shown = ResultsTableRows(analysis);
  int header = 1;
  while (header < 200 && !(book.At(2, "A" + std::to_string(header)) &&
                           book.At(2, "A" + std::to_string(header))->text == "Name")) {
    ++header;
  }
  ASSERT_LT(header, 200);
  std::set<int> concentrationDecimals;
  for (size_t g = 0; g < analysis.groups.size(); ++g) {
    const GroupResult& group = analysis.groups[g];
    for (int c : {4, 5, 6, 7, 8}) {
      const std::string text = shown[g][static_cast<size_t>(c)];
      const xlsx_reader::Cell* cell =
          book.At(2, Column(c) + std::to_string(header + 1 + static_cast<int>(g)));
      SCOPED_TRACE(group.name + " column " + std::to_string(c) + ": " + text);
      if (text.empty()) {
        EXPECT_EQ(cell, nullptr);
        continue;
      }
      ASSERT_NE(cell, nullptr);
      const size_t point = text.find('.');
      const int decimals =
          point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
      EXPECT_EQ(DecimalsOf(cell->numberFormat), decimals) << cell->numberFormat;
      if (c == 7) concentrationDecimals.insert(decimals);
    }
    if (group.concentration) {
      EXPECT_DOUBLE_EQ(book.At(2, "H" + std::to_string(header + 1 + static_cast<int>(g)))->number,
                       *group.concentration);
    }
  }
  // The rule was tried on several magnitudes.
  EXPECT_GE(concentrationDecimals.size(), 3u) << ::testing::PrintToString(shown);
  const auto r2 = std::find_if(book.sheets[2].begin(), book.sheets[2].end(),
                               [](const auto& cell) { return cell.second.text == "r2"; });
  ASSERT_NE(r2, book.sheets[2].end());
  EXPECT_EQ(book.At(2, "B" + r2->first.substr(1))->numberFormat, "0.0000");

  // Rounded before the decimals are chosen, as the window's text is.
  EXPECT_EQ(FormatSignificant(9.9996, 4), "10.00");
  EXPECT_EQ(SignificantDecimals(9.9996, 4), 2);
  EXPECT_EQ(SignificantDecimals(2.5e-7, 4), std::nullopt);  // an exponent
}

// The layout file: what people make in a spreadsheet is read as they mean
// it, every mistake is named by block, row and column, and what is written
// reads back the same.
#include <gtest/gtest.h>

#include "analysis/plate_layout.h"
#include "results/well_names.h"
#include "tests/analysis/layout_text.h"

using namespace analysis;
using layout_text::Block;

namespace {

const std::string kRoles = Block("Role", {{"A1", "blank"},
                                          {"B1", "Blank"},
                                          {"A2", "standard"},
                                          {"B2", "STANDARD"},
                                          {"A3", "sample"},
                                          {"B3", "sample"},
                                          {"C3", "sample"},
                                          {"A4", "control"}});
const std::string kNames = Block(
    "Name", {{"A2", "top"}, {"A3", "S1"}, {"B3", "S1"}, {"C3", "\"Serum, 2\""}, {"A4", "QC"}});
const std::string kConcentrations = Block("Concentration", {{"A2", "100"}, {"B2", "12.5"}});

std::string Error(const std::string& text) {
  const LayoutParse parse = ParseLayout(text);
  EXPECT_FALSE(parse.ok) << text;
  return parse.error;
}

TEST(PlateLayout, ReadsEveryBlockAsMeant) {
  const std::string text = kRoles + "\n" + kNames + "\n" + kConcentrations + "\n" +
                           Block("Dilution", {{"A3", "10"}, {"B3", "10"}, {"A4", "2"}}) + "\n" +
                           Block("Unit", {{"A2", "ng/mL"}, {"A3", "ng/mL"}}) + "\n" +
                           Block("Range", {{"A4", "40-60"}});
  const LayoutParse parse = ParseLayout(text);
  ASSERT_TRUE(parse.ok) << parse.error;
  const PlateLayout& layout = parse.layout;
  EXPECT_EQ(layout.wells[PlateWellOfName("A1")].role, WellRole::Blank);
  EXPECT_EQ(layout.wells[PlateWellOfName("B1")].role, WellRole::Blank);
  EXPECT_EQ(layout.wells[PlateWellOfName("A2")].role, WellRole::Standard);
  EXPECT_EQ(layout.wells[PlateWellOfName("A2")].name, "top");
  EXPECT_EQ(layout.wells[PlateWellOfName("B2")].concentration, 12.5);
  EXPECT_EQ(layout.wells[PlateWellOfName("C3")].name, "Serum, 2");
  EXPECT_EQ(layout.wells[PlateWellOfName("A3")].dilution, 10);
  EXPECT_FALSE(layout.wells[PlateWellOfName("C3")].dilution);
  EXPECT_EQ(layout.wells[PlateWellOfName("A4")].range, (ExpectedRange{40, 60}));
  EXPECT_EQ(layout.wells[PlateWellOfName("H12")].role, WellRole::Empty);
  EXPECT_EQ(layout.unit, "ng/mL");
}

TEST(PlateLayout, ReadsSemicolonFilesWithDecimalCommaAndSpreadsheetNoise) {
  // A German spreadsheet's export: semicolons, decimal commas, a byte-order
  // mark, CR LF, trailing empty columns and several blank lines.
  std::string text =
      "\xEF\xBB\xBF" +
      Block("role", {{"A1", " standard "}, {"A2", "control"}, {"A3", "blank"}}, ';') + ";;;;\n\n" +
      Block("CONCENTRATION", {{"A1", "0,25"}}, ';') + "\n" + Block("Name", {{"A2", "C"}}, ';') +
      "\n" + Block("Range", {{"A2", "-0,5-1,5e-1"}}, ';');
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const LayoutParse parse = ParseLayout(crlf);
  ASSERT_TRUE(parse.ok) << parse.error;
  EXPECT_EQ(parse.layout.wells[0].concentration, 0.25);
  EXPECT_EQ(parse.layout.wells[1].range, (ExpectedRange{-0.5, 0.15}));
}

TEST(PlateLayout, WritesWhatItReads) {
  const std::string text = kRoles + "\n" + kNames + "\n" + kConcentrations + "\n" +
                           Block("Dilution", {{"A3", "2.5"}, {"B3", "2.5"}}) + "\n" +
                           Block("Unit", {{"A2", "\"  µg/mL \""}}) + "\n" +
                           Block("Range", {{"A4", "1e-3-2"}});
  const LayoutParse first = ParseLayout(text);
  ASSERT_TRUE(first.ok) << first.error;
  const std::string written = WriteLayout(first.layout);
  const LayoutParse again = ParseLayout(written);
  ASSERT_TRUE(again.ok) << again.error << "\n" << written;
  EXPECT_EQ(again.layout, first.layout);
  EXPECT_EQ(again.layout.unit, "  µg/mL ");
  PlateLayout broken;
  broken.wells[0] = {WellRole::Sample, "two\nlines", std::nullopt, std::nullopt, std::nullopt};
  const LayoutParse joined = ParseLayout(WriteLayout(broken));
  ASSERT_TRUE(joined.ok) << joined.error;
  EXPECT_EQ(joined.layout.wells[0].name, "two lines");
  // Only the blocks the layout needs.
  EXPECT_EQ(WriteLayout(PlateLayout{}), Block("Role", {}));
}

TEST(PlateLayout, NamesTheBlockRowAndColumnOfEveryMistake) {
  EXPECT_EQ(Error(Block("Role", {{"C5", "smaple"}})),
            "Role block, row C, column 5: unknown role 'smaple' (blank, standard, sample, control "
            "or an empty cell)");
  EXPECT_EQ(Error(Block("Role", {{"B7", "standard"}})),
            "Concentration block, row B, column 7: a standard needs a concentration (there is no "
            "Concentration block)");
  EXPECT_EQ(
      Error(Block("Role", {{"B7", "standard"}}) + "\n" + Block("Concentration", {{"B7", "1.2.3"}})),
      "Concentration block, row B, column 7: '1.2.3' is not a number");
  EXPECT_EQ(
      Error(Block("Role", {{"B7", "standard"}}) + "\n" + Block("Concentration", {{"B7", "-1"}})),
      "Concentration block, row B, column 7: a concentration cannot be below 0");
  EXPECT_EQ(Error(Block("Role", {{"D1", "sample"}})),
            "Name block, row D, column 1: a sample needs a name (there is no Name block)");
  EXPECT_EQ(Error(Block("Role", {}) + "\n" + Block("Name", {{"H12", "x"}})),
            "Name block, row H, column 12: 'x' on a well without a role");
  EXPECT_EQ(Error(Block("Role", {{"A1", "blank"}}) + "\n" + Block("Dilution", {{"A1", "2"}})),
            "Dilution block, row A, column 1: only samples and controls take a dilution, this is a "
            "blank");
  EXPECT_EQ(Error(Block("Role", {{"A1", "control"}}) + "\n" + Block("Name", {{"A1", "Q"}}) + "\n" +
                  Block("Range", {{"A1", "5-1"}})),
            "Range block, row A, column 1: the range '5-1' runs backwards");
  EXPECT_EQ(Error(Block("Role", {{"A1", "blank"}, {"A2", "blank"}}) + "\n" +
                  Block("Unit", {{"A1", "mg"}, {"A2", "g"}})),
            "Unit block, row A, column 2: unit 'g' where A1 has 'mg' (one unit for the plate)");
  EXPECT_EQ(Error(Block("Role", {{"A1", "sample"}, {"A2", "control"}}) + "\n" +
                  Block("Name", {{"A1", "X"}, {"A2", "X"}})),
            "Name block, row A, column 2: 'X' names a control here and a sample in A1");
  EXPECT_EQ(
      Error(Block("Role", {{"A1", "sample"}, {"A2", "sample"}}) + "\n" +
            Block("Name", {{"A1", "X"}, {"A2", "X"}}) + "\n" + Block("Dilution", {{"A1", "2"}})),
      "Dilution block, row A, column 2: replicates 'X' in A2 and A1 have different "
      "dilutions");
}

TEST(PlateLayout, RejectsBlocksOfTheWrongShape) {
  const std::string role = Block("Role", {});
  const std::string sevenRows = role.substr(0, role.rfind("H,"));
  EXPECT_EQ(Error(sevenRows), "line 9: Role block: row H is missing (a block has rows A to H)");
  EXPECT_EQ(Error(role + "I,,,,,,,,,,,,\n"),
            "line 10: Role block: a row 'I' after row H (a block has rows A to H; a blank line "
            "sets blocks apart)");
  EXPECT_EQ(Error(role + "\n" + role), "line 11: a second Role block");
  EXPECT_EQ(Error("Role,1,2,3,4,5,6,7,8,9,10,11\n"),
            "line 1: Role block: the header must be the columns 1 to 12, it ends after 11");
  EXPECT_EQ(Error("Role,1,2,3,4,5,6,7,8,9,10,11,12,13\n"),
            "line 1: Role block: the header must be the columns 1 to 12, found '13' in column 13");
  std::string thirteen = role;
  thirteen.insert(thirteen.find("\nD,"), ",x");
  EXPECT_EQ(Error(thirteen), "line 4: Role block, row C: more than 12 columns ('x' in column 13)");
  // Empty cells beyond column 12 are a spreadsheet's padding, not a column.
  std::string padded = role;
  padded.insert(padded.find("\nD,"), ",,");
  EXPECT_TRUE(ParseLayout(padded).ok);
  std::string swapped = role;
  swapped.replace(swapped.find("\nD,") + 1, 1, "E");
  EXPECT_EQ(Error(swapped),
            "line 5: Role block: row 'E' where row D belongs (a block has rows A to H)");
  EXPECT_EQ(Error("Roles,1\n"),
            "line 1: 'Roles' is not a block (Role, Name, Concentration, Dilution, Unit or Range)");
  EXPECT_EQ(Error(Block("Name", {})), "the layout has no Role block");
  EXPECT_EQ(Error(""), "the layout has no Role block");
}

TEST(PlateLayout, WellNames) {
  EXPECT_EQ(WellName(0), "A1");
  EXPECT_EQ(WellName(2 * 12 + 4), "C5");
  EXPECT_EQ(WellName(95), "H12");
}

}  // namespace

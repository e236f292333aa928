// The readings themselves: plausible, distinct, reproducible, and a plate
// file that is either read exactly or refused with a reason.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "sim/plate_model.h"

using sim::Family;

TEST(PlateModel, GeneratedReadingsAreDistinctInRangeAndReproducible) {
  sim::Options o;
  o.seed = 5;
  const sim::PlateModel a(o), b(o);
  o.seed = 6;
  const sim::PlateModel other(o);
  int sameAsOtherSeed = 0;
  for (int nm : {405, 492, 620}) {
    std::set<int> seen;
    for (int well = 0; well < 96; ++well) {
      const int r = a.Reading(nm, well);
      EXPECT_GE(r, 50);
      EXPECT_LE(r, 2500);
      EXPECT_EQ(r, b.Reading(nm, well));
      seen.insert(r);
      sameAsOtherSeed += r == other.Reading(nm, well);
    }
    EXPECT_EQ(seen.size(), 96u) << nm;
  }
  EXPECT_LT(sameAsOtherSeed, 20);
  // A row/column mix-up or a primary/reference mix-up must show.
  int sameAcross = 0;
  for (int well = 0; well < 96; ++well) sameAcross += a.Reading(405, well) == a.Reading(620, well);
  EXPECT_LT(sameAcross, 10);
  EXPECT_NE(a.Reading(405, 1), a.Reading(405, 12));
}

TEST(PlateModel, OverflowAndNoValueWellsPerFamily) {
  for (Family family : {Family::DigiScan, Family::Jupiter, Family::Expert}) {
    sim::Options o;
    o.family = family;
    o.overflow = true;
    o.noValueWells = true;
    const sim::PlateModel model(o);
    const int limit = family == Family::DigiScan ? 3200 : 4100;
    const int noValue = family == Family::Jupiter ? 99998 : family == Family::Expert ? 9998 : -1;
    int over = 0, none = 0;
    for (int well = 0; well < 96; ++well) {
      const int r = model.Reading(450, well);
      if (r == noValue) {
        ++none;
      } else if (r > limit) {
        ++over;
        EXPECT_LE(r, 9999);  // still fits an Expert's four characters
      }
    }
    EXPECT_GE(over, 2);
    EXPECT_LE(over, 5);
    EXPECT_EQ(none, family == Family::DigiScan ? 0 : 2);
  }
}

TEST(PlateModel, PlateTextIsReadExactly) {
  std::string text = "# two rows per line are not allowed\nwavelength 450\n";
  for (int row = 0; row < 8; ++row) {
    for (int column = 0; column < 12; ++column) text += std::to_string(row * 100 - column) + "\t";
    text += "  # row\n";
  }
  const auto plates = sim::ParsePlateText(text, Family::DigiScan);
  ASSERT_EQ(plates.count(450), 1u);
  EXPECT_EQ(plates.at(450)[0], 0);
  EXPECT_EQ(plates.at(450)[11], -11);
  EXPECT_EQ(plates.at(450)[95], 689);
}

TEST(PlateModel, BadPlateTextIsRefusedWithItsLine) {
  const std::string row = "1 2 3 4 5 6 7 8 9 10 11 12\n";
  std::string eightRows;
  for (int i = 0; i < 8; ++i) eightRows += row;
  struct Case {
    std::string text;
    Family family;
    std::string expected;
  };
  const Case cases[] = {
      {row, Family::DigiScan, "line 1: values before"},
      {"wavelength 405\n1 2 3\n", Family::DigiScan, "line 2: a row needs 12 values"},
      {"wavelength 405\n" + row + row, Family::DigiScan, "has only 2 rows"},
      {"wavelength 405\n1 2 x 4 5 6 7 8 9 10 11 12\n", Family::DigiScan, "\"x\" is not an integer"},
      {"wavelength 405\n99998 2 3 4 5 6 7 8 9 10 11 12\n", Family::Expert, "fit a field of 4"},
      {"wavelength 405\n" + eightRows + "wavelength 405\n" + eightRows, Family::Jupiter,
       "line 10: wavelength given twice"},
      {"wavelength\n", Family::DigiScan, "expected \"wavelength <nm>\""},
  };
  for (const Case& c : cases) {
    try {
      sim::ParsePlateText(c.text, c.family);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
  }
  sim::Options o;
  o.plateFile = "/nonexistent/plate.txt";
  EXPECT_THROW(sim::PlateModel{o}, std::runtime_error);
}

#include "sim/physical_plate.h"

#include "sim/instrument_effects.h"
#include "sim/reader_family.h"
#include "sim/seeded_random.h"

namespace sim {

namespace {

// Keys that keep the seeded quantities of one well apart.
constexpr int kFillKey = -2, kMeniscusKey = -3;
// A spilled drop of dark dye (--overflow): far beyond any range.
constexpr double kSpillOd = 8;
// Pipetting: a well's volume, hence its light path, is within 1 % of nominal.
constexpr double kFillSpread = 0.01;

}  // namespace

PhysicalPlate::PhysicalPlate(PlateScenario scenario, const Options& options)
    : plate_(BuildScenario(scenario)),
      family_(options.family),
      seed_(options.seed),
      overflow_(options.overflow),
      noValueWells_(options.noValueWells) {
  for (int well = 0; well < 96; ++well) {
    fill_[well] = 1 + kFillSpread * SignedFraction(Hash(seed_, kFillKey, well));
    meniscus_[well] = (1 + SignedFraction(Hash(seed_, kMeniscusKey, well))) / 2;
  }
}

double PhysicalPlate::Absorbance(int nm, int well, double seconds) const {
  const WellRecipe& recipe = plate_.wells[well];
  double od = PlateBackground(nm);
  if (recipe.liquid.pathCm <= 0) return od;  // a dry well: the plastic only
  Liquid liquid = recipe.liquid;
  liquid[recipe.product] += ProductMm(recipe, seconds);
  liquid.pathCm *= fill_[well];
  od += MeniscusScatter(nm, meniscus_[well]) + LiquidAbsorbance(liquid, nm);
  od += CellsOd(recipe.growth, seconds, nm) * fill_[well];
  if (overflow_ && IsOverflowWell(well)) od += kSpillOd;
  return od;
}

int PhysicalPlate::Reading(int nm, int well, ReadMoment moment) const {
  if (nm <= 0) return 0;  // no filter, no light
  const int noValue = TraitsOf(family_).noValueCode;
  const bool empty = plate_.wells[well].liquid.pathCm <= 0;
  if (noValue != 0 && (empty || (noValueWells_ && IsUnreadableWell(well)))) return noValue;
  const double od = WithStrayLight(Absorbance(nm, well, moment.seconds), family_);
  const uint64_t key = Hash(seed_, nm, well) ^ Mix(static_cast<uint64_t>(moment.index));
  const double noise = PhotometricNoise(od, SignedFraction(Mix(key + 1)),
                                        SignedFraction(Mix(key + 2)), SignedFraction(Mix(key + 3)));
  return Thousandths(od + noise);
}

}  // namespace sim

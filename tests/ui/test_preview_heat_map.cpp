#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <set>

#include "dialogs/template_dialog.h"
#include "preview/data_preview.h"
#include "preview/preview_heat_map.h"
#include "report/heat_map_scale.h"
#include "results/shared_state.h"
#include "tests/support/qt_app.h"
#include "tests/support/result_state_guard.h"

namespace {

constexpr QRgb kViridisLow = 0x440154, kViridisHigh = 0xfde725;

class PreviewHeatMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    // A scrambled ramp: the lowest value sits in C7, the highest in F2.
    for (int well = 0; well < kWells; ++well) PlateResult.nValue[well] = 100 + (well * 37) % 96;
    PlateResult.nValue[2 * 12 + 6] = -250;
    PlateResult.nValue[5 * 12 + 1] = 3125;
    PlateResult.nValue[0] = kNoValue;
    PlateResult.nPrimary = 450;
    PlateResult.bValid = 1;
    AppSettings.bDelimComma = 1;
    AppSettings.HeatMap = 1;
  }

  static QLabel* Cell(TemplateDialog& preview, int well) {
    return qobject_cast<QLabel*>(preview.Item(102 + well));
  }
  static QColor Background(TemplateDialog& preview, int well) {
    return Cell(preview, well)->palette().color(QPalette::Window);
  }
  static bool Coloured(TemplateDialog& preview, int well) {
    return Cell(preview, well)->autoFillBackground();
  }

 private:
  ResultStateGuard guard_;
};

TEST_F(PreviewHeatMapTest, ColoursFollowTheValuesAndTheLegendNamesTheEnds) {
  auto preview = CreateDataPreview(nullptr);
  EXPECT_EQ(Background(*preview, 2 * 12 + 6).rgb() & 0xffffff, kViridisLow);
  EXPECT_EQ(Background(*preview, 5 * 12 + 1).rgb() & 0xffffff, kViridisHigh);
  EXPECT_FALSE(Coloured(*preview, 0)) << "a well without a value stays plain";
  EXPECT_EQ(preview->ItemText(102), "");

  // Higher values are lighter all along the scale.
  const auto lightness = [&](int well) { return Background(*preview, well).lightnessF(); };
  for (int well = 1; well < kWells; ++well) {
    ASSERT_TRUE(Coloured(*preview, well)) << well;
    for (int other = 1; other < kWells; ++other) {
      if (PlateResult.nValue[other] > PlateResult.nValue[well] + 200) {
        EXPECT_LT(lightness(well), lightness(other)) << well << " against " << other;
      }
    }
  }
  // The text stays readable: white on the dark end, black on the light one.
  EXPECT_EQ(Cell(*preview, 2 * 12 + 6)->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(Cell(*preview, 5 * 12 + 1)->palette().color(QPalette::WindowText), QColor(Qt::black));

  EXPECT_TRUE(preview->findChild<QWidget*>("heatMapLegend")->isVisibleTo(preview.get()));
  EXPECT_EQ(preview->findChild<QLabel*>("heatMapLow")->text(), "-0,250");
  EXPECT_EQ(preview->findChild<QLabel*>("heatMapHigh")->text(), "3,125");
}

TEST_F(PreviewHeatMapTest, TheCheckBoxSwitchesItAndTheSettingsKeepIt) {
  auto preview = CreateDataPreview(nullptr);
  auto* check = preview->findChild<QCheckBox*>("heatMap");
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(check->text(), "&Heat map");
  EXPECT_TRUE(check->isChecked());
  preview->show();
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_EQ(AppSettings.HeatMap, 0);
  for (int well = 0; well < kWells; ++well) EXPECT_FALSE(Coloured(*preview, well)) << well;
  EXPECT_FALSE(preview->findChild<QWidget*>("heatMapLegend")->isVisible());

  preview->hide();
  auto next = CreateDataPreview(nullptr);
  EXPECT_FALSE(next->findChild<QCheckBox*>("heatMap")->isChecked());
  EXPECT_FALSE(Coloured(*next, 5));
  next->show();
  next->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(next.get()));
  QTest::keyClick(next.get(), Qt::Key_H, Qt::AltModifier);
  // A mnemonic clicks the way a mouse does, after a short flash.
  EXPECT_TRUE(QTest::qWaitFor([] { return AppSettings.HeatMap == 1; }, 2000));
  EXPECT_TRUE(Coloured(*next, 5));
}

TEST_F(PreviewHeatMapTest, RoleMarksSitInTheirCells) {
  auto preview = CreateDataPreview(nullptr);
  auto* heatMap = preview->findChild<PreviewHeatMap*>();
  ASSERT_NE(heatMap, nullptr);
  RoleMarks marks{};
  marks[0] = 'B';
  marks[13] = 'S';
  marks[95] = 'C';
  heatMap->ShowRoleMarks(marks);
  const auto mark = [&](int well) {
    auto* label = Cell(*preview, well)->findChild<QLabel*>("role");
    return label != nullptr && label->isVisibleTo(preview.get()) ? label->text() : QString();
  };
  EXPECT_EQ(mark(0), "B");
  EXPECT_EQ(mark(13), "S");
  EXPECT_EQ(mark(95), "C");
  EXPECT_EQ(mark(1), "");
  EXPECT_EQ(preview->ItemText(102 + 13), Cell(*preview, 13)->text()) << "the value is untouched";

  marks[13] = 0;
  heatMap->ShowRoleMarks(marks);
  EXPECT_EQ(mark(13), "");
}

// A well read above the range holds no number, like a well without a value,
// but it is hatched, heat map or not, and its tooltip says why.
TEST_F(PreviewHeatMapTest, WellsAboveTheRangeAreHatchedAndSaySo) {
  constexpr int kD7 = 3 * 12 + 6;
  PlateResult.nValue[kD7] = kNoValue;
  PlateResult.bOverRange[kD7] = 1;
  const auto colours = [](QLabel* cell) {
    const QImage image = cell->grab().toImage();
    std::set<QRgb> seen;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) seen.insert(image.pixel(x, y));
    return seen.size();
  };
  for (const bool heatMap : {true, false}) {
    SCOPED_TRACE(heatMap ? "heat map" : "plain");
    AppSettings.HeatMap = heatMap ? 1 : 0;
    auto preview = CreateDataPreview(nullptr);
    preview->show();
    QLabel* over = Cell(*preview, kD7);
    EXPECT_EQ(over->text(), "");
    EXPECT_EQ(over->toolTip(), "over range");
    EXPECT_EQ(over->palette().brush(QPalette::Window).style(), Qt::BDiagPattern);
    QLabel* empty = Cell(*preview, 0);
    EXPECT_EQ(empty->toolTip(), "");
    EXPECT_FALSE(Coloured(*preview, 0));
    EXPECT_GT(colours(over), colours(empty)) << "the hatching is drawn, the empty well stays plain";
  }
}

TEST(HeatMapScale, EndsAndMiddle) {
  EXPECT_EQ(HeatMapColour(0).rgb() & 0xffffff, kViridisLow);
  EXPECT_EQ(HeatMapColour(1).rgb() & 0xffffff, kViridisHigh);
  EXPECT_EQ(HeatMapColour(-3), HeatMapColour(0));
  EXPECT_EQ(HeatMapColour(7), HeatMapColour(1));
  EXPECT_EQ(HeatMapColour(std::nan("")), HeatMapColour(0));
  EXPECT_DOUBLE_EQ(HeatMapPosition(5, 5, 5), 0.5) << "one value all over: the middle";
  EXPECT_DOUBLE_EQ(HeatMapPosition(15, 10, 20), 0.5);
}

}  // namespace

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "dialogs/template_dialog.h"
#include "preview/data_preview.h"
#include "results/result_text.h"
#include "results/shared_state.h"
#include "tests/support/qt_app.h"
#include "tests/support/result_state_guard.h"

namespace {

class DataPreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    // Each well holds its own index plus one, so a cell tells which well it shows.
    for (int well = 0; well < kWells; ++well) PlateResult.nValue[well] = (well + 1) * 1000;
    PlateResult.nPrimary = 450;
    PlateResult.nReference = 0;
    PlateResult.ftMeasured = 0;
    PlateResult.bValid = 1;
    AppSettings.bDelimComma = 0;
  }

 private:
  ResultStateGuard guard_;
};

TEST_F(DataPreviewTest, CellsKeepTheirIdsAndShowTheNumberForm) {
  PlateResult.nValue[1] = kNoValue;
  PlateResult.nValue[2] = -12;
  PlateResult.nValue[3] = 0;
  auto preview = CreateDataPreview(nullptr);
  EXPECT_EQ(preview->windowTitle(), "Platovix Data Preview");
  EXPECT_EQ(preview->ItemText(102), "1.000");   // A1
  EXPECT_EQ(preview->ItemText(113), "12.000");  // A12
  EXPECT_EQ(preview->ItemText(114), "13.000");  // B1
  EXPECT_EQ(preview->ItemText(197), "96.000");  // H12
  EXPECT_EQ(preview->ItemText(103), "") << "no value: an empty cell";
  EXPECT_EQ(preview->ItemText(104), "-0.012");
  EXPECT_EQ(preview->ItemText(105), "0.000");
  EXPECT_EQ(preview->ItemText(217), "Filter  450 [nm]");
  EXPECT_EQ(preview->ItemText(101), "A");
  EXPECT_EQ(preview->ItemText(204), "H");
  EXPECT_EQ(preview->ItemText(216), "12");

  auto* cell = qobject_cast<QLabel*>(preview->Item(104));
  ASSERT_NE(cell, nullptr);
  EXPECT_TRUE(cell->alignment() & Qt::AlignRight);
  EXPECT_FALSE(cell->textInteractionFlags() & Qt::TextEditable) << "cells are read-only";

  AppSettings.bDelimComma = 1;
  auto comma = CreateDataPreview(nullptr);
  EXPECT_EQ(comma->ItemText(104), "-0,012");
  EXPECT_EQ(comma->ItemText(102), "1,000");
}

TEST_F(DataPreviewTest, WideNumbersAreNeverCut) {
  for (int well = 0; well < kWells; ++well) PlateResult.nValue[well] = well % 2 ? -8888 : 12345;
  PlateResult.nValue[95] = INT32_MIN;
  auto preview = CreateDataPreview(nullptr);
  for (int id = 102; id <= 197; ++id) {
    auto* cell = qobject_cast<QLabel*>(preview->Item(id));
    ASSERT_NE(cell, nullptr);
    const int textWidth = QFontMetrics(cell->font()).horizontalAdvance(cell->text());
    if (id == 197) {
      EXPECT_EQ(cell->text(), "-2147483.648") << "may be cut, but never changed";
    } else {
      EXPECT_LE(textWidth, cell->contentsRect().width()) << cell->text().toStdString();
    }
  }
}

TEST_F(DataPreviewTest, IsASnapshotFilledOnce) {
  auto preview = CreateDataPreview(nullptr);
  PlateResult.nValue[0] = 4321;
  PlateResult.bValid = 0;
  preview->show();
  QCoreApplication::processEvents();
  EXPECT_EQ(preview->ItemText(102), "1.000");
  EXPECT_EQ(preview->ItemText(217), "Filter  450 [nm]");
}

TEST_F(DataPreviewTest, EnterEscapeCloseAndTheCloseBoxEndIt) {
  struct Way {
    const char* name;
    std::function<void(TemplateDialog&)> close;
    int result;
  };
  const Way ways[] = {
      // Enter means OK (1) here, there being no default button; on the
      // focused "Close" it presses "Close".
      {"Enter",
       [](TemplateDialog& d) {
         d.Item(2)->clearFocus();
         QTest::keyClick(&d, Qt::Key_Return);
       },
       1},
      {"Enter on Close",
       [](TemplateDialog& d) {
         d.Item(2)->setFocus();
         QTest::keyClick(d.Item(2), Qt::Key_Enter);
       },
       2},
      {"Escape", [](TemplateDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, 2},
      {"Close", [](TemplateDialog& d) { QTest::mouseClick(d.Item(2), Qt::LeftButton); }, 2},
      {"close box", [](TemplateDialog& d) { d.close(); }, 2},
  };
  for (const Way& way : ways) {
    auto preview = CreateDataPreview(nullptr);
    TemplateDialog* dialog = preview.get();
    // Runs modally, as the main dialog runs it; the timer acts from inside.
    QTimer::singleShot(0, dialog, [&way, dialog] { way.close(*dialog); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, dialog, [dialog] { dialog->done(-1); });
    watchdog.start(5000);
    EXPECT_EQ(dialog->exec(), way.result) << way.name;
    EXPECT_FALSE(dialog->isVisible()) << way.name;
  }
}

}  // namespace

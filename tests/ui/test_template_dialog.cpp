#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <vector>

#include "dialogs/template_dialog.h"
#include "resources/dialog_templates.h"
#include "tests/support/qt_app.h"

namespace {

// Keeps every command instead of acting on it.
class RecordingTemplateDialog : public TemplateDialog {
 public:
  explicit RecordingTemplateDialog(const DialogTemplate& dialogTemplate)
      : TemplateDialog(dialogTemplate, nullptr) {}
  std::vector<int> commands;

 protected:
  bool OnCommand(int id) override {
    commands.push_back(id);
    return true;
  }
};

void ShowActive(QWidget& dialog) {
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
}

class TemplateDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { TestApp(); }
};

TEST_F(TemplateDialogTest, IdsMapToTheirControlKinds) {
  TemplateDialog main(MainDialogTemplate(), nullptr);
  auto* primary = qobject_cast<QComboBox*>(main.Item(102));
  ASSERT_NE(primary, nullptr);
  EXPECT_TRUE(primary->isEditable());
  EXPECT_NE(qobject_cast<QPushButton*>(main.Item(1)), nullptr);
  EXPECT_NE(qobject_cast<QCheckBox*>(main.Item(112)), nullptr);
  EXPECT_NE(qobject_cast<QLabel*>(main.Item(208)), nullptr);
  EXPECT_NE(qobject_cast<QFrame*>(main.Item(103)), nullptr);
  EXPECT_EQ(main.Item(999), nullptr);
  EXPECT_EQ(main.Item(102)->objectName(), "id102");
  EXPECT_EQ(main.Item(102)->property("dlgId").toInt(), 102);
  EXPECT_EQ(main.DefaultId(), 1);
  EXPECT_EQ(main.windowTitle(), "Vidudu Dovodero Zidezid");

  TemplateDialog options(OptionsDialogTemplate(), nullptr);
  auto* port = qobject_cast<QComboBox*>(options.Item(110));
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(port->isEditable());
  EXPECT_NE(qobject_cast<QRadioButton*>(options.Item(101)), nullptr);

  TemplateDialog calibration(CalibrationDialogTemplate(), nullptr);
  EXPECT_NE(qobject_cast<QLineEdit*>(calibration.Item(151)), nullptr);
  EXPECT_EQ(calibration.Item(141)->layoutDirection(), Qt::RightToLeft);

  // A status line shows '&' as it stands; the port text likewise.
  main.SetItemText(208, "A&B <b>");
  EXPECT_EQ(main.ItemText(208), "A&B <b>");
}

TEST_F(TemplateDialogTest, EnterInAComboActsOnTheDefaultButtonOnce) {
  RecordingTemplateDialog main(MainDialogTemplate());
  ShowActive(main);
  auto* primary = qobject_cast<QComboBox*>(main.Item(102));
  primary->setFocus();
  QTest::keyClicks(primary, "450");
  QTest::keyClick(primary->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(main.commands, std::vector<int>{1});
  EXPECT_EQ(primary->count(), 0) << "Enter must not add the typed text to the list";
  EXPECT_EQ(primary->currentText(), "450");

  main.commands.clear();
  main.EnableItem(1, false);
  QTest::keyClick(primary->lineEdit(), Qt::Key_Enter);
  EXPECT_TRUE(main.commands.empty()) << "a disabled default button takes no Enter";
}

TEST_F(TemplateDialogTest, EscapeAndTheCloseBoxGiveTwo) {
  RecordingTemplateDialog main(MainDialogTemplate());
  ShowActive(main);
  QTest::keyClick(main.Item(102), Qt::Key_Escape);
  EXPECT_EQ(main.commands, std::vector<int>{2});

  main.commands.clear();
  main.close();  // the close box: posted, not handled at once
  EXPECT_TRUE(main.commands.empty());
  EXPECT_TRUE(main.isVisible());
  QCoreApplication::processEvents();
  EXPECT_EQ(main.commands, std::vector<int>{2});
}

TEST_F(TemplateDialogTest, DefaultCommandsEndTheDialog) {
  TemplateDialog preview(PreviewDialogTemplate(), nullptr);
  ShowActive(preview);
  QTest::keyClick(&preview, Qt::Key_Escape);
  EXPECT_FALSE(preview.isVisible());
  EXPECT_EQ(preview.result(), 2);

  TemplateDialog closed(PreviewDialogTemplate(), nullptr);
  ShowActive(closed);
  closed.close();
  QCoreApplication::processEvents();
  EXPECT_FALSE(closed.isVisible());
  EXPECT_EQ(closed.result(), 2);
}

TEST_F(TemplateDialogTest, MnemonicsClickButtonsAndFocusLabelledControls) {
  RecordingTemplateDialog main(MainDialogTemplate());
  ShowActive(main);
  // A mnemonic presses the button visibly, so the click comes a moment later.
  QTest::keyClick(&main, Qt::Key_M, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !main.commands.empty(); }, 2000));
  QTest::keyClick(&main, Qt::Key_U, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return main.commands.size() == 2; }, 2000));
  EXPECT_EQ(main.commands, (std::vector<int>{1, 113}));

  QTest::keyClick(&main, Qt::Key_P, Qt::AltModifier);  // "&Primary filter" leads to list 102
  EXPECT_TRUE(main.Item(102)->hasFocus());

  RecordingTemplateDialog options(OptionsDialogTemplate());
  ShowActive(options);
  QTest::keyClick(&options, Qt::Key_H, Qt::AltModifier);  // "Include &header"
  EXPECT_TRUE(QTest::qWaitFor([&] { return !options.commands.empty(); }, 2000));
  EXPECT_TRUE(options.IsChecked(106));
  EXPECT_EQ(options.commands, std::vector<int>{106});
  QTest::keyClick(&options, Qt::Key_S, Qt::AltModifier);  // "&Serial port" leads to list 110
  EXPECT_TRUE(options.Item(110)->hasFocus());
}

TEST_F(TemplateDialogTest, EnterOnAFocusedButtonPressesThatButton) {
  RecordingTemplateDialog main(MainDialogTemplate());
  ShowActive(main);
  main.Item(106)->setFocus();
  QTest::keyClick(main.Item(106), Qt::Key_Return);
  EXPECT_EQ(main.commands, std::vector<int>{106});
}

TEST_F(TemplateDialogTest, DialogUnitsFollowTheFont) {
  TemplateDialog preview(PreviewDialogTemplate(), nullptr);
  const QRect unit = preview.DialogUnitsToPixels(0, 0, 4, 8);  // one base unit each way
  EXPECT_GE(unit.width(), 4);
  EXPECT_LE(unit.width(), 20);
  EXPECT_EQ(unit.height(), QFontMetrics(preview.font()).height());
  EXPECT_EQ(preview.size(), preview.DialogUnitsToPixels(0, 0, 303, 132).size());
  EXPECT_EQ(preview.Item(102)->geometry(), preview.DialogUnitsToPixels(19, 10, 22, 11));
  EXPECT_EQ(preview.Item(197)->geometry(), preview.DialogUnitsToPixels(19 + 23 * 11, 94, 22, 11));
  // Cells side by side do not overlap.
  EXPECT_LE(preview.Item(102)->geometry().right(), preview.Item(103)->geometry().left());
  EXPECT_GT(preview.width(), preview.Item(2)->geometry().right());
}

TEST_F(TemplateDialogTest, RadioGroupsAreSeparateAndCanShowNoChoice) {
  RecordingTemplateDialog options(OptionsDialogTemplate());
  options.SetChecked(101, true);
  options.SetChecked(103, true);
  EXPECT_TRUE(options.IsChecked(101));
  EXPECT_TRUE(options.IsChecked(103));
  options.SetChecked(102, true);
  EXPECT_FALSE(options.IsChecked(101));
  EXPECT_TRUE(options.IsChecked(103));

  options.SetChecked(102, false);
  EXPECT_FALSE(options.IsChecked(101));
  EXPECT_FALSE(options.IsChecked(102));

  ShowActive(options);
  QTest::mouseClick(options.Item(104), Qt::LeftButton);
  EXPECT_TRUE(options.IsChecked(104));
  EXPECT_FALSE(options.IsChecked(103));
  EXPECT_EQ(options.commands, std::vector<int>{104});
}

TEST_F(TemplateDialogTest, ShowEnableAndPostedCommands) {
  RecordingTemplateDialog main(MainDialogTemplate());
  ShowActive(main);
  main.ShowItem(111, false);
  EXPECT_FALSE(main.Item(111)->isVisible());
  main.ShowItem(111, true);
  EXPECT_TRUE(main.Item(111)->isVisible());
  main.EnableItem(105, false);
  EXPECT_FALSE(main.Item(105)->isEnabled());
  QTest::mouseClick(main.Item(105), Qt::LeftButton);
  EXPECT_TRUE(main.commands.empty());

  main.PostCommand(106);
  main.PostCommand(104);
  main.SendCommand(801);
  EXPECT_EQ(main.commands, std::vector<int>{801});
  QCoreApplication::processEvents();
  EXPECT_EQ(main.commands, (std::vector<int>{801, 106, 104}));
}

}  // namespace

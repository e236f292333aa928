#include <QAbstractButton>
#include <QMessageBox>

#include "tests/ui/ui_test_support.h"
#include "ui/qt_message_box.h"

namespace {

TEST(QtMessageBoxTest, ShowsCaptionIconTextAndButtons) {
  TestApp();
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttonCount = 0;
  ModalWatcher watcher([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttonCount = static_cast<int>(box->buttons().size());
    box->button(buttonCount == 2 ? QMessageBox::Cancel : QMessageBox::Ok)->click();
  });

  EXPECT_EQ(ShowQtMessageBox(nullptr, "Insert a plate and click OK\r\n", "Confirm", kIconWarning,
                             kButtonsOkCancel),
            kAnswerCancel);
  EXPECT_EQ(title, "Confirm");
  EXPECT_EQ(text, "Insert a plate and click OK");  // DOS line ends do not show
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttonCount, 2);

  EXPECT_EQ(ShowQtMessageBox(nullptr, "To clear a specific filter\r\nyou have to enter 0 (zero).",
                             "Error", kIconError, kButtonsOk),
            kAnswerOk);
  EXPECT_EQ(text, "To clear a specific filter\nyou have to enter 0 (zero).");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(buttonCount, 1);
  EXPECT_EQ(watcher.Seen(), 2);
}

}  // namespace

// The worker's ways into the main dialog, driven from a real second thread.
#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <future>
#include <thread>

#include "dialogs/template_dialog.h"
#include "tests/ui/ui_test_support.h"
#include "ui/qt_dialog_handle.h"

namespace {

class CommandDialog : public TemplateDialog {
 public:
  CommandDialog() : TemplateDialog(MainDialogTemplate(), nullptr) {}
  std::vector<int> commands;

 protected:
  bool OnCommand(int id) override {
    commands.push_back(id);
    return true;
  }
};

class QtDialogHandleTest : public ::testing::Test {
 protected:
  // Runs work on another thread while this one keeps serving events.
  template <typename Work>
  static auto OnWorker(Work work) {
    auto result = std::async(std::launch::async, work);
    while (result.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
      QCoreApplication::processEvents();
    }
    return result.get();
  }

  QApplication& app_ = TestApp();  // before any widget
  CommandDialog dialog_;
  QtDialogHandle handle_{&dialog_};
  BoxRecorder boxes_;
};

TEST_F(QtDialogHandleTest, StatusTextArrivesWhileTheDialogServesEvents) {
  ControlHandle status = handle_.GetDlgItem(208);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(handle_.GetDlgItem(4711), nullptr);
  EXPECT_TRUE(OnWorker([&] { return handle_.SendTextTimeout(status, "connected", 600); }));
  EXPECT_EQ(dialog_.ItemText(208), "connected");
}

TEST_F(QtDialogHandleTest, StatusTextIsDroppedWhenTheDialogIsBusy) {
  dialog_.SetItemText(208, "before");
  ControlHandle status = handle_.GetDlgItem(208);
  QElapsedTimer clock;
  clock.start();
  // This thread does not serve events until the worker has given up.
  bool shown = std::async(std::launch::async, [&] {
                 return handle_.SendTextTimeout(status, "late", 600);
               }).get();
  const qint64 waited = clock.elapsed();
  EXPECT_FALSE(shown);
  EXPECT_GE(waited, 550);
  EXPECT_LT(waited, 3000);
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog_.ItemText(208), "before");  // and it never turns up
}

TEST_F(QtDialogHandleTest, CommandsArriveInOrder) {
  OnWorker([&] {
    for (int id : {805, 801, 807}) handle_.PostCommand(id);
    return 0;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return dialog_.commands.size() == 3; }, 2000));
  EXPECT_EQ(dialog_.commands, (std::vector<int>{805, 801, 807}));
}

TEST_F(QtDialogHandleTest, QuestionIsAskedOnTheDialogsThread) {
  BoxRecorder::Answer() = kAnswerCancel;
  EXPECT_EQ(OnWorker([&] { return handle_.AskOkCancel("Insert a plate", "Confirm"); }),
            kAnswerCancel);
  BoxRecorder::Answer() = kAnswerOk;
  EXPECT_EQ(OnWorker([&] { return handle_.AskOkCancel("Insert a plate", "Confirm"); }), kAnswerOk);
  ASSERT_EQ(BoxRecorder::Boxes().size(), 2u);
  EXPECT_EQ(BoxRecorder::Boxes()[0].caption, "Confirm");
  EXPECT_EQ(BoxRecorder::Boxes()[0].buttons, kButtonsOkCancel);
  EXPECT_EQ(BoxRecorder::Boxes()[0].icon, kIconWarning);
}

TEST_F(QtDialogHandleTest, ClosingDialogAnswersAPendingQuestionWithCancel) {
  auto answer = std::async(std::launch::async,
                           [&] { return handle_.AskOkCancel("Insert a plate", "Confirm"); });
  // The dialog's thread is busy closing and has not shown the box yet.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  handle_.BeginShutdown();
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(answer.get(), kAnswerCancel);
  QCoreApplication::processEvents();
  EXPECT_TRUE(BoxRecorder::Boxes().empty());
  // Later questions get Cancel at once.
  EXPECT_EQ(std::async(std::launch::async, [&] { return handle_.AskOkCancel("x", "y"); }).get(),
            kAnswerCancel);
}

}  // namespace

// Shared pieces of the operator-interface tests: a clean program state, the
// operator's message boxes recorded instead of shown, and a way to deal
// with a modal dialog that the code under test opens by itself.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "driver/foto.h"
#include "link/operator_message.h"
#include "link/port_setup.h"
#include "results/shared_state.h"
#include "tests/support/qt_app.h"

struct RecordedBox {
  std::string text;
  std::string caption;
  MessageIcon icon;
  MessageButtons buttons;
};

// Every box is kept; a plain box answers OK, an OK/Cancel box answers
// okCancelAnswer.
class BoxRecorder {
 public:
  BoxRecorder() {
    Boxes().clear();
    Answer() = kAnswerOk;
    previous_ = SetMessageBoxHandler(Record);
  }
  ~BoxRecorder() { SetMessageBoxHandler(previous_); }

  static std::vector<RecordedBox>& Boxes() {
    static std::vector<RecordedBox> boxes;
    return boxes;
  }
  static int& Answer() {
    static int answer = kAnswerOk;
    return answer;
  }
  static std::string Texts() {
    std::string all;
    for (const RecordedBox& box : Boxes()) all += box.caption + ": " + box.text + "\n";
    return all;
  }

 private:
  static int Record(void*, const std::string& text, const std::string& caption, MessageIcon icon,
                    MessageButtons buttons) {
    Boxes().push_back({text, caption, icon, buttons});
    return buttons == kButtonsOkCancel ? Answer() : kAnswerOk;
  }
  MessageBoxHandler previous_;
};

// The program's globals as a first start leaves them.
inline void ResetProgramState() {
  ClosePort();
  CloseThreadHandle();
  delete pDriver;
  pDriver = nullptr;
  AppSettings = TAppSettings{};
  FilterTable = TFilterTable{};
  PlateResult = TPlateResult{};
  PortMap = TPortMap{};
  bAbort = 0;
  hMainDlg = nullptr;
}

// Calls handle with the next modal dialog that opens (polling, since the
// code under test runs it with exec). handle must close it.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<void(QWidget*)> handle) : handle_(std::move(handle)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      // The main dialog itself is modal too; only what it opens counts.
      if (modal == nullptr || !modal->isVisible() || modal->inherits("MainDialog") || busy_) return;
      busy_ = true;
      ++seen_;
      handle_(modal);
      busy_ = false;
    });
    timer_.start(20);
  }
  int Seen() const { return seen_; }

 private:
  std::function<void(QWidget*)> handle_;
  QTimer timer_;
  bool busy_ = false;
  int seen_ = 0;
};

// Runs whole reader operations the way the operator interface does: the
// driver on a worker thread, the port opened on the far end of a
// pseudo-terminal, a recording dialog as the main dialog and an abort flag
// the test can set.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "driver/foto.h"
#include "link/posix_serial_port.h"
#include "tests/support/recording_dialog.h"

class OperationTest : public ::testing::Test {
 protected:
  using Operation = std::function<void(TRodeFoto&, PortHandle*, DialogHandle**, AbortFlag*)>;

  ~OperationTest() override { Join(); }

  // A fresh driver for the family (0 DigiScan, 1 Jupiter / Expert) on the
  // line at path.
  void Open(const std::string& path, int subType) {
    Join();
    port_.reset();  // the line is ours alone: let go of it before opening again
    int error = 0;
    port_ = PosixSerialPort::Open(path, LineSettings{}, &error);
    ASSERT_NE(port_, nullptr) << "errno " << error;
    hComPort_ = port_.get();
    driver_ = std::make_unique<TRodeFoto>(2, subType);
    dialog_ = std::make_unique<RecordingDialog>();
    hMainDlg_ = dialog_.get();
    bAbort_ = 0;
  }

  void Start(const Operation& operation) {
    worker_ =
        std::thread([this, operation] { operation(*driver_, &hComPort_, &hMainDlg_, &bAbort_); });
  }

  // Waits for the worker's completion command and the worker's end; 0 when
  // none came in time.
  int Finish(std::chrono::seconds timeout = std::chrono::seconds(30)) {
    const int command = dialog_->WaitForCommand(timeout);
    if (command != 0) Join();
    return command;
  }

  int Run(const Operation& operation) {
    Start(operation);
    return Finish();
  }

  // Waits until the status line has shown text (at most timeout).
  bool WaitForStatus(const std::string& text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (SawStatus(text)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  bool SawStatus(const std::string& text) const {
    const std::vector<std::string> texts = dialog_->StatusTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }

  // Sets the abort flag and returns the seconds until the completion command.
  double AbortAndTime() {
    const auto start = std::chrono::steady_clock::now();
    bAbort_ = 1;
    Finish();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  void Join() {
    if (worker_.joinable()) worker_.join();
  }

  static Operation Measure(int32_t* values, int primary, int reference) {
    return [=](TRodeFoto& d, PortHandle* p, DialogHandle** w, AbortFlag* a) {
      d.Measure(p, w, a, values, primary, reference);
    };
  }
  static Operation ReadFilters(int32_t* wavelengths, int32_t* count) {
    return [=](TRodeFoto& d, PortHandle* p, DialogHandle** w, AbortFlag* a) {
      d.ReadFilters(p, w, a, wavelengths, count);
    };
  }
  static Operation Calibrate(int32_t* wavelengths, int32_t* flags, int32_t* count) {
    return [=](TRodeFoto& d, PortHandle* p, DialogHandle** w, AbortFlag* a) {
      d.Calibrate(p, w, a, wavelengths, flags, count);
    };
  }
  static Operation MovePlate(bool out) {
    return [=](TRodeFoto& d, PortHandle* p, DialogHandle** w, AbortFlag* a) {
      d.MovePlate(p, w, a, out);
    };
  }

  TRodeFoto& driver() { return *driver_; }
  RecordingDialog& dialog() { return *dialog_; }

 private:
  std::unique_ptr<PosixSerialPort> port_;
  PortHandle hComPort_ = kInvalidPort;
  std::unique_ptr<TRodeFoto> driver_;
  std::unique_ptr<RecordingDialog> dialog_;
  DialogHandle* hMainDlg_ = nullptr;
  AbortFlag bAbort_{0};
  std::thread worker_;
};

// The commands from the first occurrence of `from` on, with each run of
// status queries folded into one "Q+", so a test can state the order of a
// conversation without counting polls.
inline std::vector<std::string> FoldPolls(const std::vector<std::string>& commands,
                                          const std::string& from = "E") {
  std::vector<std::string> folded;
  for (auto it = std::find(commands.begin(), commands.end(), from); it != commands.end(); ++it) {
    if (*it != "Q") {
      folded.push_back(*it);
    } else if (folded.empty() || folded.back() != "Q+") {
      folded.push_back("Q+");
    }
  }
  return folded;
}

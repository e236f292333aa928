// A driver talking over a real pseudo-terminal, with the test playing the
// reader on the near end. Line-error counters are injected: a pseudo-terminal
// never produces line errors.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "driver/foto.h"
#include "link/posix_serial_port.h"
#include "tests/driver/frame_bytes.h"
#include "tests/support/pty_pair.h"

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override { UseFamily(1); }

  // 0 DigiScan, 1 Jupiter / Expert.
  void UseFamily(int subType) {
    driver_ = std::make_unique<TRodeFoto>(0, subType);
    if (!port_) {
      int error = 0;
      port_ = PosixSerialPort::Open(pty_.slavePath(), LineSettings{}, &error,
                                    [this](int, LineCounts* counts) {
                                      counts->parity = parityErrors_.load();
                                      if (parityPerCall_) ++parityErrors_;
                                      return true;
                                    });
      ASSERT_NE(port_, nullptr) << error;
    }
    driver_->hPort = port_.get();
    driver_->pbAbort = &abort_;
  }

  TRodeFoto& driver() { return *driver_; }

  // The nCode of the ESerExc the call throws, 0 when it returns.
  template <typename Call>
  int CodeOf(Call call) {
    try {
      call();
    } catch (const ESerExc& failure) {
      return failure.nCode;
    }
    return 0;
  }

  // What the program wrote so far (waits briefly for count bytes).
  std::string Sent(size_t count = 4096) { return pty_.Read(count, 100); }

  static double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  PtyPair pty_;
  std::unique_ptr<PosixSerialPort> port_;
  std::unique_ptr<TRodeFoto> driver_;
  AbortFlag abort_{0};
  std::atomic<uint32_t> parityErrors_{0};
  std::atomic<bool> parityPerCall_{false};  // a new parity error at every look
};

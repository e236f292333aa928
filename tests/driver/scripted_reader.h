// A reader played by the test on the near end of a pseudo-terminal, for the
// replies the simulator does not give (odd model texts, odd filter lists,
// odd identification texts). It acknowledges the opening and each command,
// answers a command with the text the script returns for it (none = only
// acknowledged), and logs every command.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/driver/frame_bytes.h"
#include "tests/support/pty_pair.h"

class ScriptedReader {
 public:
  using Script = std::function<std::optional<std::string>(const std::string& command)>;

  ScriptedReader(int subType, Script script)
      : subType_(subType), script_(std::move(script)), thread_([this] { Serve(); }) {}
  ~ScriptedReader() {
    stop_ = true;
    thread_.join();
  }

  const std::string& slavePath() const { return pty_.slavePath(); }

  std::vector<std::string> Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
  }

 private:
  // One byte, or -1 when none came within a short while.
  int ReadByte() {
    const std::string got = pty_.Read(1, 50);
    if (got.empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));  // no one on the far end yet
      return -1;
    }
    return static_cast<unsigned char>(got[0]);
  }

  // Waits up to a second for the next byte, giving up on stop.
  int NextByte() {
    for (int tries = 0; tries < 20 && !stop_; ++tries) {
      const int byte = ReadByte();
      if (byte >= 0) return byte;
    }
    return -1;
  }

  void Serve() {
    while (!stop_) {
      const int byte = ReadByte();
      if (byte == 0x05) pty_.Write(frames::kAck);  // the end of the opening sequence
      if (byte != 0x02) continue;
      std::string text;
      int c;
      while ((c = NextByte()) >= 0 && c != 0x03) text += static_cast<char>(c);
      if (c < 0 || NextByte() < 0) continue;  // the check byte; the link's own tests cover it
      {
        std::lock_guard lock(mutex_);
        commands_.push_back(text);
      }
      pty_.Write(frames::kAck);
      if (const std::optional<std::string> reply = script_(text)) {
        pty_.Write(frames::Reply(*reply, subType_));
        NextByte();  // the program's ACK
      }
    }
  }

  PtyPair pty_;
  const int subType_;
  const Script script_;
  mutable std::mutex mutex_;
  std::vector<std::string> commands_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once everything above is ready
};

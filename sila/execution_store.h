// Observable command executions by UUID: state, progress, intermediate
// texts, result or error. Kept while running and for the announced lifetime
// after the end, whether or not a client is still listening.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "SiLAFramework.pb.h"

struct ExecutionSnapshot {
  sila2::org::silastandard::ExecutionInfo::CommandStatus status =
      sila2::org::silastandard::ExecutionInfo::waiting;
  double progress = 0;          // 0..1
  double remainingSeconds = 0;  // estimated
  double lifetimeSeconds = 0;   // until the UUID is forgotten
  std::vector<std::string> intermediates;
  std::string result;  // the serialised response once finished successfully
  std::optional<sila2::org::silastandard::SiLAError> error;
  uint64_t version = 0;  // grows with every change
  std::string command;   // the command's identifier, e.g. MeasurePlate
};

class ExecutionStore {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ExecutionStore(std::chrono::seconds lifetime);

  // A new running execution of the command; its UUID.
  std::string Create(std::string command = {});
  std::chrono::seconds lifetime() const { return lifetime_; }

  void SetProgress(const std::string& uuid, double progress, double remainingSeconds);
  void AddIntermediate(const std::string& uuid, const std::string& text);
  void Succeed(const std::string& uuid, std::string result);
  void Fail(const std::string& uuid, const sila2::org::silastandard::SiLAError& error);

  // The execution now; nullopt when the UUID is unknown or expired.
  std::optional<ExecutionSnapshot> Get(const std::string& uuid);
  // Waits up to timeoutMs for a version newer than seen; nullopt when the
  // UUID is unknown or expired.
  std::optional<ExecutionSnapshot> WaitNewer(const std::string& uuid, uint64_t seen, int timeoutMs);
  // UUIDs of the executions still running.
  std::vector<std::string> Running();

 private:
  struct Entry {
    ExecutionSnapshot state;
    std::optional<Clock::time_point> finished;
  };
  // Forgets finished executions whose lifetime is over. Lock held.
  void Expire();
  ExecutionSnapshot Snapshot(const Entry& entry) const;
  template <typename Change>
  void Update(const std::string& uuid, Change change);

  std::chrono::seconds lifetime_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Entry> entries_;
};

// A random (version 4) UUID in lower case.
std::string NewUuid();

// True for a UUID in the lower-case form NewUuid makes (any version).
bool LooksLikeUuid(const std::string& text);

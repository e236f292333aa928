#include "sila/execution_store.h"

#include <cstdio>
#include <random>
#include <regex>

namespace silafw = sila2::org::silastandard;

bool LooksLikeUuid(const std::string& text) {
  static const std::regex pattern("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
  return std::regex_match(text, pattern);
}

std::string NewUuid() {
  static std::mutex mutex;
  static std::mt19937_64 random{std::random_device{}()};
  uint64_t high, low;
  {
    std::lock_guard<std::mutex> lock(mutex);
    high = random();
    low = random();
  }
  high = (high & 0xffffffffffff0fffULL) | 0x0000000000004000ULL;  // version 4
  low = (low & 0x3fffffffffffffffULL) | 0x8000000000000000ULL;    // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", unsigned(high >> 32),
                unsigned((high >> 16) & 0xffff), unsigned(high & 0xffff), unsigned(low >> 48),
                static_cast<unsigned long long>(low & 0xffffffffffffULL));
  return text;
}

ExecutionStore::ExecutionStore(std::chrono::seconds lifetime) : lifetime_(lifetime) {}

std::string ExecutionStore::Create(std::string command) {
  const std::string uuid = NewUuid();
  std::lock_guard<std::mutex> lock(mutex_);
  Expire();
  Entry& entry = entries_[uuid];
  entry.state.status = silafw::ExecutionInfo::running;
  entry.state.version = 1;
  entry.state.command = std::move(command);
  return uuid;
}

template <typename Change>
void ExecutionStore::Update(const std::string& uuid, Change change) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = entries_.find(uuid);
  if (found == entries_.end()) return;
  change(found->second);
  ++found->second.state.version;
  changed_.notify_all();
}

void ExecutionStore::SetProgress(const std::string& uuid, double progress,
                                 double remainingSeconds) {
  Update(uuid, [&](Entry& entry) {
    entry.state.progress = progress;
    entry.state.remainingSeconds = remainingSeconds;
  });
}

void ExecutionStore::AddIntermediate(const std::string& uuid, const std::string& text) {
  Update(uuid, [&](Entry& entry) { entry.state.intermediates.push_back(text); });
}

void ExecutionStore::Succeed(const std::string& uuid, std::string result) {
  Update(uuid, [&](Entry& entry) {
    entry.state.status = silafw::ExecutionInfo::finishedSuccessfully;
    entry.state.progress = 1;
    entry.state.remainingSeconds = 0;
    entry.state.result = std::move(result);
    entry.finished = Clock::now();
  });
}

void ExecutionStore::Fail(const std::string& uuid, const silafw::SiLAError& error) {
  Update(uuid, [&](Entry& entry) {
    entry.state.status = silafw::ExecutionInfo::finishedWithError;
    entry.state.remainingSeconds = 0;
    entry.state.error = error;
    entry.finished = Clock::now();
  });
}

ExecutionSnapshot ExecutionStore::Snapshot(const Entry& entry) const {
  ExecutionSnapshot snapshot = entry.state;
  const Clock::time_point end = entry.finished.value_or(Clock::now()) + lifetime_;
  snapshot.lifetimeSeconds = std::chrono::duration<double>(end - Clock::now()).count();
  return snapshot;
}

void ExecutionStore::Expire() {
  const Clock::time_point now = Clock::now();
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.finished && *it->second.finished + lifetime_ <= now) {
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

std::optional<ExecutionSnapshot> ExecutionStore::Get(const std::string& uuid) {
  std::lock_guard<std::mutex> lock(mutex_);
  Expire();
  const auto found = entries_.find(uuid);
  if (found == entries_.end()) return std::nullopt;
  return Snapshot(found->second);
}

std::optional<ExecutionSnapshot> ExecutionStore::WaitNewer(const std::string& uuid, uint64_t seen,
                                                           int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  Expire();
  auto found = entries_.find(uuid);
  if (found == entries_.end()) return std::nullopt;
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    found = entries_.find(uuid);
    return found == entries_.end() || found->second.state.version > seen;
  });
  if (found == entries_.end()) return std::nullopt;
  return Snapshot(found->second);
}

std::vector<std::string> ExecutionStore::Running() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> uuids;
  for (const auto& [uuid, entry] : entries_) {
    if (!entry.finished) uuids.push_back(uuid);
  }
  return uuids;
}

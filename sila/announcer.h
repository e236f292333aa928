// The server on the network by mDNS/DNS-SD: _sila._tcp with the server UUID
// as instance name and the TXT records SiLA clients read, through the Avahi
// daemon. Without a daemon the server still serves; discovery is then off.
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct AnnounceInfo {
  std::string instance;  // the server UUID
  int port = 0;
  std::string version;
  std::string serverName;
  std::string description;
  std::string certificatePem;  // empty without TLS
};

// The TXT records: version, server_name, description and, with TLS, the
// certificate authority as ca0, ca1, ... one PEM line each.
std::vector<std::string> AnnounceTxtRecords(const AnnounceInfo& info);

class Announcer {
 public:
  // Starts announcing in the background. When there is no daemon it says so
  // in one line on err.
  Announcer(const AnnounceInfo& info, std::ostream& err);
  ~Announcer();
  Announcer(const Announcer&) = delete;
  Announcer& operator=(const Announcer&) = delete;

  // True while the daemon is reachable and the service registered or pending.
  bool active() const { return client_ != nullptr; }

  struct State;  // shared with the daemon's callbacks

 private:
  State* state_ = nullptr;
  void* client_ = nullptr;
};

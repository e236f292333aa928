// A real PostgreSQL server for one test or benchmark: initdb into a
// temporary folder, pg_ctl start and stop, as an unprivileged user when run
// as root (the server refuses root). Reached over a socket in that folder,
// and over loopback TCP on a free port when asked.
#pragma once

#include <string>

class PostgresServer {
 public:
  // Where Debian's postgresql package puts the binaries.
  static constexpr const char* kBinaries = "/usr/lib/postgresql/15/bin";
  static bool Available();

  explicit PostgresServer(bool tcp = false);  // initdb and start
  ~PostgresServer();                          // stop and remove everything
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  bool Start();
  bool Stop();
  bool running() const { return running_; }
  // postgresql://... for the archive, the server's own superuser.
  const std::string& url() const { return url_; }

 private:
  bool Run(const std::string& command) const;  // as the server's user
  std::string folder_;
  std::string options_;
  std::string url_;
  bool running_ = false;
};

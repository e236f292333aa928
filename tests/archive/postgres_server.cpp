#include "tests/archive/postgres_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

constexpr uid_t kNobody = 65534;

int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  const int port = ntohs(address.sin_port);
  close(fd);
  return port;
}

}  // namespace

bool PostgresServer::Available() {
  return access((std::string(kBinaries) + "/initdb").c_str(), X_OK) == 0 &&
         access((std::string(kBinaries) + "/pg_ctl").c_str(), X_OK) == 0;
}

PostgresServer::PostgresServer(bool tcp) {
  char pattern[] = "/tmp/platovix-pg-XXXXXX";
  folder_ = mkdtemp(pattern);
  if (geteuid() == 0 && chown(folder_.c_str(), kNobody, kNobody) != 0) return;
  const int port = FreeLoopbackPort();
  options_ = "-k " + folder_ + " -p " + std::to_string(port) +
             " -c listen_addresses=" + (tcp ? "127.0.0.1" : "''") + " -c fsync=on";
  const std::string user = geteuid() == 0 ? "nobody" : "";
  url_ = tcp ? "postgresql://127.0.0.1:" + std::to_string(port) + "/postgres"
             : "postgresql:///postgres?host=" + folder_ + "&port=" + std::to_string(port);
  if (!user.empty()) url_ += (tcp ? "?user=" : "&user=") + user;
  if (Run("initdb -A trust -U " + (user.empty() ? std::string("postgres") : user) +
          " --no-sync -D " + folder_ + "/data > " + folder_ + "/initdb.log 2>&1")) {
    if (user.empty()) url_ += (tcp ? "?user=postgres" : "&user=postgres");
    Start();
  }
}

PostgresServer::~PostgresServer() {
  Stop();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

bool PostgresServer::Run(const std::string& command) const {
  const std::string asUser =
      geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
  return std::system((asUser + kBinaries + "/" + command).c_str()) == 0;
}

bool PostgresServer::Start() {
  if (running_) return true;
  running_ = Run("pg_ctl start -w -s -D " + folder_ + "/data -l " + folder_ + "/server.log -o \"" +
                 options_ + "\"");
  return running_;
}

bool PostgresServer::Stop() {
  if (!running_) return true;
  running_ = !Run("pg_ctl stop -w -s -m fast -D " + folder_ + "/data");
  return !running_;
}

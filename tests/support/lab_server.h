// The lab archive's PostgreSQL server for one test: started where the test
// needs it, and the test skipped on a machine without the server's binaries;
// the URL another role logs in with, and whether some connection waits on a
// table lock another holds.
//
//   TEST(LabArchive, Something) {
//     PLATOVIX_LAB_SERVER(server);  // a running PostgresServer named server
//     ... server.url() ...
//   }
//
// A macro, as GTEST_SKIP and ASSERT_* have to leave the test's own body.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/pg_connection.h"
#include "tests/archive/postgres_server.h"

#define PLATOVIX_LAB_SERVER(name)                                                     \
  if (!PostgresServer::Available())                                                   \
    GTEST_SKIP() << "no PostgreSQL server binaries in " << PostgresServer::kBinaries; \
  PostgresServer name;                                                                \
  ASSERT_TRUE(name.running()) << "the PostgreSQL server did not start"

// Null when this machine has no server binaries (the test skips); a server
// that did not start is a failure.
inline std::unique_ptr<PostgresServer> StartLabServer() {
  if (!PostgresServer::Available()) return nullptr;
  auto server = std::make_unique<PostgresServer>();
  EXPECT_TRUE(server->running()) << "the PostgreSQL server did not start";
  return server;
}

// The server's URL, logging in as role instead.
inline std::string UrlAsRole(const std::string& url, const std::string& role) {
  const size_t user = url.find("user=");
  return (user == std::string::npos ? url + (url.find('?') == std::string::npos ? "?" : "&")
                                    : url.substr(0, user)) +
         "user=" + role;
}

// Some connection of the server waits on a lock (a table another holds).
inline bool SomeoneWaitsOnALock(archive::PgConnection& watcher) {
  std::vector<archive::SqlRow> rows;
  return watcher.Exec("SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'", {},
                      &rows) &&
         !rows.empty() && rows[0][0] != "0";
}

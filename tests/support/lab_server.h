// The lab archive's PostgreSQL server for one test: started where the test
// needs it, and the test skipped on a machine without the server's binaries.
//
//   TEST(LabArchive, Something) {
//     PLATOVIX_LAB_SERVER(server);  // a running PostgresServer named server
//     ... server.url() ...
//   }
//
// A macro, as GTEST_SKIP and ASSERT_* have to leave the test's own body.
#pragma once

#include <gtest/gtest.h>

#include "tests/archive/postgres_server.h"

#define PLATOVIX_LAB_SERVER(name)                                                     \
  if (!PostgresServer::Available())                                                   \
    GTEST_SKIP() << "no PostgreSQL server binaries in " << PostgresServer::kBinaries; \
  PostgresServer name;                                                                \
  ASSERT_TRUE(name.running()) << "the PostgreSQL server did not start"

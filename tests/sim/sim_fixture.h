// A simulator on a pseudo-terminal with a byte-level client connected to it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "sim/reader_simulator.h"
#include "tests/sim/byte_client.h"

// A plate file whose readings name their wells: 405 nm reads 100 + well,
// 620 nm reads 300 + well (well = row * 12 + column, A1 = 0).
inline std::string WriteKnownPlate() {
  char path[] = "/tmp/platovix-plate-XXXXXX";
  const int fd = mkstemp(path);
  if (fd >= 0) close(fd);
  std::ofstream out(path);
  for (int base : {100, 300}) {
    out << "# readings that name their wells\nwavelength " << (base == 100 ? 405 : 620) << "\n";
    for (int row = 0; row < 8; ++row) {
      for (int column = 0; column < 12; ++column) out << base + row * 12 + column << ' ';
      out << '\n';
    }
  }
  return path;
}

inline sim::Options FastOptions(sim::Family family) {
  sim::Options o;
  o.family = family;
  o.measureMs = 60;
  o.moveMs = 40;
  o.calibrateMs = 40;
  return o;
}

inline int VariantOf(sim::Family family) {
  return family == sim::Family::DigiScan ? 0 : 1;
}

class SimTest : public ::testing::Test {
 protected:
  void Start(sim::Options options) {
    sim_ = std::make_unique<sim::PtySimulator>(options);
    client_ = std::make_unique<ByteClient>(sim_->slavePath(), VariantOf(options.family));
    ASSERT_TRUE(client_->ok());
  }
  void TearDown() override {
    client_.reset();
    sim_.reset();
    if (!plate_.empty()) unlink(plate_.c_str());
  }
  sim::Options KnownPlate(sim::Family family) {
    sim::Options o = FastOptions(family);
    plate_ = WriteKnownPlate();
    o.plateFile = plate_;
    return o;
  }

  sim::ReaderSimulator& reader() { return sim_->reader(); }
  ByteClient& client() { return *client_; }

  std::unique_ptr<sim::PtySimulator> sim_;
  std::unique_ptr<ByteClient> client_;
  std::string plate_;
};

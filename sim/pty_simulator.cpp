#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "sim/pty_host.h"
#include "sim/reader_simulator.h"

namespace sim {

PtySimulator::PtySimulator(Options options)
    : reader_(std::move(options)), host_(std::make_unique<PtyHost>()) {
  char directory[] = "/tmp/platovix-sim-XXXXXX";
  if (mkdtemp(directory) == nullptr) throw std::runtime_error("cannot make a temporary directory");
  directory_ = directory;
  slavePath_ = directory_ + "/tty";
  std::string error;
  if (!host_->Open(slavePath_, &error)) {
    rmdir(directory_.c_str());
    throw std::runtime_error(error);
  }
  reader_.SetKeepServingOnHangUp(true);
  reader_.SetHangUpHandler([this](int) { return host_->Reopen(); });
  thread_ = std::thread([this] { reader_.Serve(host_->master()); });
}

PtySimulator::~PtySimulator() {
  reader_.Stop();
  if (thread_.joinable()) thread_.join();
  host_.reset();  // closes the pair and removes the link
  rmdir(directory_.c_str());
}

const std::string& PtySimulator::slavePath() const {
  return slavePath_;
}

ReaderSimulator& PtySimulator::reader() {
  return reader_;
}

}  // namespace sim

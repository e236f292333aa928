// The simulated reader's command interpreter and plate-file reader against
// arbitrary input: whatever the program (or a trainer's file) sends, the
// reader answers with printable frames of the right shape, or a readable
// error for a bad file.
//
// Input: one byte for the family (mod 3), then commands, one per line; the
// first character of each line is how long (in 10 ms) passes before it
// arrives. The same bytes are also read as a plate file.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fuzz/fuzz_check.h"
#include "sim/fault_set.h"
#include "sim/plate_model.h"
#include "sim/reader_family.h"
#include "sim/reader_model.h"

namespace {

bool Printable(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  static const sim::Family kFamilies[] = {sim::Family::DigiScan, sim::Family::Jupiter,
                                          sim::Family::Expert};
  sim::Options options;
  options.family = kFamilies[data[0] % 3];
  options.measureMs = 100;
  options.moveMs = 50;
  options.calibrateMs = 50;
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);

  try {
    sim::ParsePlateText(input, options.family);
  } catch (const std::runtime_error& error) {
    FUZZ_CHECK(error.what()[0] != '\0');
  }

  const sim::PlateModel plate(options);
  sim::FaultSet faults;
  sim::ReaderModel model(options, plate, faults);
  auto now = sim::ReaderModel::Clock::time_point{} + std::chrono::hours(1);
  const int blockLength = sim::BlockLength(options.family);
  const int blocksPerPass = sim::TraitsOf(options.family).blocksPerPass;

  size_t start = 0;
  while (start < input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    if (end > start) {
      now += std::chrono::milliseconds(10 * static_cast<unsigned char>(input[start]));
      const std::string command = input.substr(start + 1, end - start - 1);
      const sim::Response response = model.Handle(command, now);
      FUZZ_CHECK(!(response.hasReply && !response.blocks.empty()));
      if (response.hasReply) {
        FUZZ_CHECK(Printable(response.reply));
        FUZZ_CHECK(response.reply.size() <= 1022);
      }
      if (!response.blocks.empty()) {
        const int blocks = static_cast<int>(response.blocks.size());
        FUZZ_CHECK(blocks == blocksPerPass || blocks == 2 * blocksPerPass);
        for (const std::string& block : response.blocks) {
          FUZZ_CHECK(static_cast<int>(block.size()) == blockLength);
          FUZZ_CHECK(Printable(block));
        }
      }
    }
    start = end + 1;
  }
  for (int nm : model.Filters(now)) FUZZ_CHECK(nm >= 0 && nm <= 999);
  return 0;
}

#include "archive/witness.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "archive/sha256.h"
#include "archive/spool.h"
#include "results/atomic_file.h"

namespace archive {

namespace {

// Two slots of one line each, written in turn in place: a store costs one
// write and one fdatasync, and a write torn by a power cut spoils only the
// slot it was writing, while the other still holds the head before it.
// Each slot checks itself, so a torn one is passed over, never believed.
// After them, the archive's name for whoever looks at the file.
constexpr size_t kSlot = 128;
constexpr char kTag[] = "platovix-witness";

std::string SlotCheck(const ChainHead& head) {
  return Sha256Hex(std::string(kTag) + " " + std::to_string(head.seq) + " " + head.hash)
      .substr(0, 16);
}

std::string SlotText(const ChainHead& head) {
  std::string text =
      std::string(kTag) + " " + std::to_string(head.seq) + " " + head.hash + " " + SlotCheck(head);
  text.resize(kSlot - 1, ' ');
  return text + '\n';
}

bool ParseSlot(const std::string& slot, ChainHead* head) {
  std::istringstream in(slot);
  std::string tag, check;
  ChainHead read;
  if (!(in >> tag >> read.seq >> read.hash >> check) || tag != kTag || read.seq < 1 ||
      read.hash.size() != 64 || check != SlotCheck(read)) {
    return false;
  }
  *head = read;
  return true;
}

// What the file holds: the newest sound slot (slot set to its index), or
// the one line of the first witness files ("SEQ HASH"), slot -1.
struct Kept {
  bool found = false;
  bool slotted = false;
  int slot = -1;
  ChainHead head;
};

Kept ParseWitness(const std::string& text) {
  Kept kept;
  if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
    std::istringstream in(text);
    ChainHead read;
    if (in >> read.seq >> read.hash && read.seq >= 1 && read.hash.size() == 64) {
      kept.found = true;
      kept.head = read;
    }
    return kept;
  }
  kept.slotted = text.compare(0, sizeof kTag - 1, kTag) == 0;
  for (int slot = 0; slot < 2; ++slot) {
    ChainHead head;
    if (text.size() < kSlot * (slot + 1) || !ParseSlot(text.substr(kSlot * slot, kSlot), &head))
      continue;
    if (!kept.found || head.seq > kept.head.seq) {
      kept.found = true;
      kept.slot = slot;
      kept.head = head;
    }
  }
  return kept;
}

std::string FileText(int fd) {
  std::string text;
  char buffer[1024];
  off_t at = 0;
  for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, at)) > 0; at += n) text.append(buffer, n);
  return text;
}

}  // namespace

std::string WitnessPath(const std::string& identity) {
  const size_t slash = identity.rfind('/');
  std::string name = identity[0] == '/' ? identity.substr(slash + 1) : "lab";
  for (char& c : name) {
    if (c == '/' || c == ' ' || c == '\\') c = '_';
  }
  return StateFolder() + "/witness/" + name + "-" + Sha256Hex(identity).substr(0, 16) + ".head";
}

bool ReadWitness(const std::string& identity, ChainHead* head, bool* spoiled) {
  std::ifstream in(WitnessPath(identity), std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  const Kept kept = ParseWitness(text.str());
  if (kept.found) *head = kept.head;
  if (spoiled != nullptr) *spoiled = !kept.found && !text.str().empty();
  return kept.found;
}

bool RecordWitness(const std::string& identity, const ChainHead& head, std::string* error) {
  if (head.seq < 1) return true;
  const std::string path = WitnessPath(identity);
  // Two programs storing at once must not move it back between them.
  int lock = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0 && errno == ENOENT) {
    if (!MakeDirectories(DirectoryOf(path))) {
      *error = "cannot make " + DirectoryOf(path);
      return false;
    }
    lock = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  }
  if (lock >= 0) flock(lock, LOCK_EX);
  bool ok = true;
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  const Kept kept = fd >= 0 ? ParseWitness(FileText(fd)) : Kept{};
  if (kept.found && kept.head.seq >= head.seq) {
    // Already there (or further on).
  } else if (fd >= 0 && kept.slotted && kept.found) {
    // The slot not holding the newest head takes the new one.
    const std::string slot = SlotText(head);
    const off_t at = static_cast<off_t>(kSlot) * (kept.slot == 0 ? 1 : 0);
    if (pwrite(fd, slot.data(), slot.size(), at) != static_cast<ssize_t>(slot.size()) ||
        fdatasync(fd) != 0) {
      *error = path + ": " + std::strerror(errno);
      ok = false;
    }
  } else {
    // A first witness, one of the older kind, or one whose slots are both
    // spoiled: made whole once, beside it and renamed.
    ok = MakeDirectories(DirectoryOf(path)) &&
         WriteFileAtomically(path, SlotText(head) + SlotText(head) + identity + '\n', error);
  }
  if (fd >= 0) close(fd);
  if (lock >= 0) close(lock);
  return ok;
}

}  // namespace archive

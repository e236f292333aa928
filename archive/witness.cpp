#include "archive/witness.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "archive/sha256.h"
#include "archive/spool.h"
#include "results/atomic_file.h"

namespace archive {

std::string WitnessPath(const std::string& identity) {
  const size_t slash = identity.rfind('/');
  std::string name = identity[0] == '/' ? identity.substr(slash + 1) : "lab";
  for (char& c : name) {
    if (c == '/' || c == ' ' || c == '\\') c = '_';
  }
  return StateFolder() + "/witness/" + name + "-" + Sha256Hex(identity).substr(0, 16) + ".head";
}

bool ReadWitness(const std::string& identity, ChainHead* head) {
  std::ifstream in(WitnessPath(identity));
  ChainHead read;
  if (!(in >> read.seq >> read.hash) || read.seq < 1 || read.hash.size() != 64) return false;
  *head = read;
  return true;
}

bool RecordWitness(const std::string& identity, const ChainHead& head, std::string* error) {
  if (head.seq < 1) return true;
  const std::string path = WitnessPath(identity);
  if (!MakeDirectories(DirectoryOf(path))) {
    *error = "cannot make " + DirectoryOf(path);
    return false;
  }
  // Two programs storing at once must not move it back between them.
  const int lock = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock >= 0) flock(lock, LOCK_EX);
  ChainHead kept;
  bool ok = true;
  if (!ReadWitness(identity, &kept) || kept.seq < head.seq) {
    std::ostringstream text;
    text << head.seq << ' ' << head.hash << '\n' << identity << '\n';
    ok = WriteFileAtomically(path, text.str(), error);
  }
  if (lock >= 0) close(lock);
  return ok;
}

}  // namespace archive

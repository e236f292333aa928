// The chain's head kept outside the database: after each store its last
// sequence number and hash go into a small file in the user's state folder,
// so that entries removed from the end (or a whole chain replaced) are found
// even when the database's own checks were switched off.
#pragma once

#include <cstdint>
#include <string>

namespace archive {

struct ChainHead {
  int64_t seq = 0;  // 0: none seen
  std::string hash;
};

// $XDG_STATE_HOME/platovix/witness/NAME-HASH.head, named after the archive's
// absolute path, or its URL without user and password.
std::string WitnessPath(const std::string& identity);

// False when there is no witness for the archive (or it cannot be read);
// *spoiled then says whether there is a file with no sound slot in it (a
// write cut short). Files of the first kind (one line "SEQ HASH") are read too.
bool ReadWitness(const std::string& identity, ChainHead* head, bool* spoiled = nullptr);

// Moves the witness forward, never back: a head behind the one kept is
// what Verify must find, not forget. Made whole once (temporary file,
// fsync, rename), then each head written in place into the older of two
// self-checking slots and flushed; a slot torn by a power cut is passed
// over. False with *error when it could not be written.
bool RecordWitness(const std::string& identity, const ChainHead& head, std::string* error);

}  // namespace archive

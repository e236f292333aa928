// SHA-256 as 64 lower-case hex digits (OpenSSL's libcrypto).
#pragma once

#include <string>

namespace archive {
std::string Sha256Hex(const std::string& bytes);
}

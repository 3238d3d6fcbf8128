// Secrets for the rehearsal page: the token in its address, drawn from the system's
// cryptographic random source (getrandom on Linux, BCryptGenRandom on Windows), never from a
// seeded generator whose output another program could guess.
#pragma once
#include <cstddef>
#include <string>

namespace kt57 {

// bytes random bytes as 2 * bytes lower-case hexadecimal digits; empty when the source fails.
std::string randomHex(size_t bytes);

}  // namespace kt57

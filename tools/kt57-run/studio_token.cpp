#include "tools/kt57-run/studio_token.h"

#include <vector>

#include "device/hex.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#else
#include <sys/random.h>

#include <cerrno>
#endif

namespace kt57 {
namespace {

bool fillRandom(unsigned char* buffer, size_t size) {
#ifdef _WIN32
    return BCryptGenRandom(nullptr, buffer, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
#else
    size_t filled = 0;
    while (filled < size) {
        const ssize_t got = getrandom(buffer + filled, size - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        filled += static_cast<size_t>(got);
    }
    return true;
#endif
}

}  // namespace

std::string randomHex(size_t bytes) {
    std::vector<unsigned char> buffer(bytes);
    if (!fillRandom(buffer.data(), buffer.size())) return {};
    std::string text;
    for (const unsigned char byte : buffer) {
        text += lowerHexDigits[byte >> 4];
        text += lowerHexDigits[byte & 0x0F];
    }
    return text;
}

}  // namespace kt57

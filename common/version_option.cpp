#include "common/version_option.h"

#include <cstdio>
#include <cstring>

#include "kt57/version.h"

namespace kt57 {

bool printedVersion(int argc, char** argv, const char* program) {
    if (argc != 2 || std::strcmp(argv[1], "--version") != 0) return false;
    std::printf("%s %s\n", program, kt57Version);
    return true;
}

}  // namespace kt57

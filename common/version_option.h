// --version, answered alike by every program of the project.
#pragma once

namespace kt57 {

// True when the only argument is --version; then "<program> <version>" has been printed.
bool printedVersion(int argc, char** argv, const char* program);

}  // namespace kt57

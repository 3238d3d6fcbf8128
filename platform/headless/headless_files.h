// The file service of a headless run. On POSIX it refuses a FIFO or a device in place of
// KT57Data.txt or KT57Mode.txt, which could block the run; on Windows a name in a folder is no
// pipe to wait on, and the standard service, whose rename replaces the target there too, serves.
#pragma once

#ifdef _WIN32
#include "sequencer/file_service.h"
namespace kt57 {
using HeadlessFiles = StandardFiles;
}
#else
#include "platform/posix/posix_files.h"
namespace kt57 {
using HeadlessFiles = PosixFiles;
}
#endif

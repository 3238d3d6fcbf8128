// KT57Data.txt bytes into the loader. Besides the store's own invariants, three rewrites of the
// file that must not change what is loaded: LF turned into CR LF, anything after a Ctrl-Z, and
// anything past the bytes that 256 lines can consume.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/program_store_checks.h"
#include "sequencer/loader.h"
#include "sequencer/text_mode_reader.h"

using kt57::ProgramStore;
using kt57::fuzz::sameStore;

namespace {

ProgramStore loaded;
ProgramStore rewritten;

void load(ProgramStore& store, const std::vector<char>& bytes) {
    kt57::loadProgramBytes(store, bytes.data(), bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    kt57::loadProgramBytes(loaded, bytes, size);
    kt57::fuzz::checkProgramStore(loaded);

    bool hasCarriageReturn = false;
    std::vector<char> crlf;
    crlf.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == '\r') hasCarriageReturn = true;
        if (bytes[i] == '\n') crlf.push_back('\r');
        crlf.push_back(bytes[i]);
    }
    if (!hasCarriageReturn) {
        load(rewritten, crlf);
        KT57_FUZZ_CHECK(sameStore(loaded, rewritten));
    }

    std::vector<char> marked(bytes, bytes + size);
    marked.push_back('\x1A');
    marked.insert(marked.end(), {'J', 'M', 'P', ' ', '0', '0', '1', '\n'});
    load(rewritten, marked);
    KT57_FUZZ_CHECK(sameStore(loaded, rewritten));

    if (size > kt57::maxProgramFileBytes) {
        kt57::loadProgramBytes(rewritten, bytes, kt57::maxProgramFileBytes);
        KT57_FUZZ_CHECK(sameStore(loaded, rewritten));
    }
    return 0;
}

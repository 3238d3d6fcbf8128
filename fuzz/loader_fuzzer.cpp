// KT57Data.txt bytes into the loader and into kt57-check's checks and dump. Besides the store's
// own invariants, three rewrites of the file that must not change what is loaded: LF turned into
// CR LF, anything after a Ctrl-Z, and anything past the bytes that 256 lines can consume.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/program_store_checks.h"
#include "sequencer/loader.h"
#include "sequencer/text_mode_reader.h"
#include "tools/kt57-check/program_check.h"
#include "tools/kt57-check/store_dump.h"

using kt57::ProgramStore;
using kt57::fuzz::sameStore;

namespace {

ProgramStore loaded;
ProgramStore rewritten;

void load(ProgramStore& store, const std::vector<char>& bytes) {
    kt57::loadProgramBytes(store, bytes.data(), bytes.size());
}

bool validUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

// The tool's report: findings in line order, on program lines, printable on a UTF-8 terminal;
// the dump one printable ASCII line per program line.
void checkTool(const char* bytes, size_t size, const ProgramStore& store) {
    const std::vector<kt57::Finding> findings = kt57::checkProgram(bytes, size);
    int previous = 1;
    for (const kt57::Finding& finding : findings) {
        KT57_FUZZ_CHECK(finding.line >= previous);
        KT57_FUZZ_CHECK(!finding.message.empty() && validUtf8(finding.message));
        KT57_FUZZ_CHECK(finding.message.find('\n') == std::string::npos);
        previous = finding.line;
    }
    const std::string dump = kt57::dumpStore(store);
    int newlines = 0;
    for (char c : dump) {
        if (c == '\n') ++newlines;
        else KT57_FUZZ_CHECK(c >= 0x20 && c <= 0x7E);
    }
    KT57_FUZZ_CHECK(newlines == store.lineCount + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    kt57::loadProgramBytes(loaded, bytes, size);
    kt57::fuzz::checkProgramStore(loaded);
    checkTool(bytes, size, loaded);

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

// Lines typed on kt57-board's standard input into its control parser. A line is one command or
// refused with a reason; injected bytes fit their buffer, and the log's escaping of any bytes
// reads back as the same bytes, so a logged frame can be injected as it stands.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "platform/linux/board_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One line as the board reads it: no newline, no NUL inside.
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.substr(0, line.find_first_of(std::string("\n\0", 2)));
    const kt57::BoardControl control = kt57::parseBoardControl(line.c_str());
    switch (control.kind) {
        case kt57::BoardControlKind::Input:
            KT57_FUZZ_CHECK(control.inputs <= 0xFFFFFF);
            break;
        case kt57::BoardControlKind::Inject:
            KT57_FUZZ_CHECK(control.size <= kt57::injectCapacity);
            break;
        case kt57::BoardControlKind::Invalid:
            KT57_FUZZ_CHECK(control.error != nullptr && control.error[0] != '\0');
            KT57_FUZZ_CHECK(std::strchr(control.error, '\n') == nullptr);
            break;
        default:
            break;
    }

    // Any bytes, escaped for the log and read back.
    const size_t count = size < kt57::injectCapacity ? size : kt57::injectCapacity;
    char text[kt57::injectCapacity * 4 + 1];
    kt57::formatEscapedBytes(data, count, text, sizeof text);
    KT57_FUZZ_CHECK(std::memchr(text, '\0', sizeof text) != nullptr);
    unsigned char decoded[kt57::injectCapacity];
    size_t decodedSize = 0;
    KT57_FUZZ_CHECK(kt57::parseEscapedBytes(text, decoded, sizeof decoded, decodedSize));
    KT57_FUZZ_CHECK(decodedSize == count && std::memcmp(decoded, data, count) == 0);

    // A cut-short escaping stays terminated and never writes past its buffer.
    char small[7];
    kt57::formatEscapedBytes(data, count, small, sizeof small);
    KT57_FUZZ_CHECK(std::memchr(small, '\0', sizeof small) != nullptr);
    return 0;
}

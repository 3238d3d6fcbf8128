// The board's one control language, as every face reads it: a line as kt57-run's events file,
// kt57-board and KT57Board.txt take it, and the whole input as a KT57Board.txt, older "key = value"
// lines included. A line means the same on every face (bar the events file's one-word inject and
// kt57-board's quit and help), whatever it sets stays in range, and putting it into a board breaks
// nothing. Any bytes, escaped for a log, read back as the same bytes.
#include <cstdint>
#include <cstring>
#include <string>

#include "board/apply_board_control.h"
#include "board/board_control.h"
#include "device/byte_escapes.h"
#include "fuzz/fuzz_check.h"
#include "platform/win32/substitute/board_config.h"

namespace {

class StillClock : public kt57::Clock {
public:
    int64_t nowMilliseconds() override { return now; }
    int64_t now = 0;
};

void checkControl(const kt57::BoardControl& control) {
    switch (control.kind) {
        case kt57::BoardControlKind::Input:
            KT57_FUZZ_CHECK(control.inputs <= 0xFFFFFF);
            break;
        case kt57::BoardControlKind::Latency:
            KT57_FUZZ_CHECK(control.latencyMilliseconds <= kt57::maximumLatencyMilliseconds);
            break;
        case kt57::BoardControlKind::Inject:
            KT57_FUZZ_CHECK(control.size >= 1 && control.size <= kt57::injectCapacity);
            break;
        case kt57::BoardControlKind::Serial: {
            const size_t length = strnlen(control.serialNumber, sizeof control.serialNumber);
            KT57_FUZZ_CHECK(length >= 1 && length <= 8);
            for (size_t i = 0; i < length; ++i) KT57_FUZZ_CHECK(control.serialNumber[i] > ' ' && control.serialNumber[i] <= '~');
            break;
        }
        case kt57::BoardControlKind::Invalid: {
            char reason[400];
            const size_t length = kt57::describeBoardControlError(control, reason, sizeof reason);
            KT57_FUZZ_CHECK(length > 0 && std::strlen(reason) == (length < sizeof reason ? length : sizeof reason - 1));
            break;
        }
        default:
            break;
    }
}

void checkSession(kt57::BoardSession& session) {
    KT57_FUZZ_CHECK(session.queuedBytes() <= kt57::BoardSession::receiveCapacity);
    KT57_FUZZ_CHECK(session.model.inputs <= 0xFFFFFF);
    KT57_FUZZ_CHECK(std::memchr(session.model.serialNumber, '\0', sizeof session.model.serialNumber) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    StillClock clock;

    // The first line on every face.
    const std::string line = text.substr(0, text.find_first_of(std::string("\n\0", 2)));
    const kt57::BoardControlFace faces[] = {kt57::BoardControlFace::Events, kt57::BoardControlFace::Console,
                                            kt57::BoardControlFace::Config};
    kt57::BoardControlKind kinds[3] = {};
    for (int i = 0; i < 3; ++i) {
        const kt57::BoardControl control = kt57::parseBoardControl(line.data(), line.size(), faces[i]);
        kinds[i] = control.kind;
        checkControl(control);
        kt57::BoardSession session(clock);
        kt57::BoardSession::Link link = 0;
        session.open("VB000001", link);
        kt57::applyBoardControl(session, control);
        checkSession(session);
    }
    const bool consoleOnly = kinds[1] == kt57::BoardControlKind::Quit || kinds[1] == kt57::BoardControlKind::Help;
    const bool injects = kinds[0] == kt57::BoardControlKind::Inject || kinds[1] == kt57::BoardControlKind::Inject;
    if (!consoleOnly && !injects) {
        KT57_FUZZ_CHECK(kinds[0] == kinds[1] && kinds[1] == kinds[2]);
    }
    KT57_FUZZ_CHECK(kinds[1] == kinds[2] || consoleOnly);

    // The whole input as KT57Board.txt, put into a board as the DLL does.
    kt57::BoardConfig config;
    const int problems = kt57::parseBoardConfig(text.data(), text.size(), config);
    KT57_FUZZ_CHECK(problems >= 0);
    KT57_FUZZ_CHECK(config.inputs <= 0xFFFFFF && config.injectSize <= sizeof config.inject);
    KT57_FUZZ_CHECK(std::memchr(config.serialNumber, '\0', sizeof config.serialNumber) != nullptr);
    kt57::BoardSession session(clock);
    kt57::applyBoardConfig(config, session);
    checkSession(session);

    // Any bytes, escaped for a log and read back.
    const size_t count = size < kt57::injectCapacity ? size : kt57::injectCapacity;
    char escaped[kt57::injectCapacity * kt57::escapedByteLength + 1];
    const size_t length = kt57::formatEscapedBytes(data, count, escaped, sizeof escaped);
    KT57_FUZZ_CHECK(length == std::strlen(escaped));
    unsigned char decoded[kt57::injectCapacity];
    size_t decodedSize = 0;
    KT57_FUZZ_CHECK(kt57::decodeEscapedBytes(escaped, length, decoded, sizeof decoded, decodedSize));
    KT57_FUZZ_CHECK(decodedSize == count && std::memcmp(decoded, data, count) == 0);

    // A cut-short escaping stays terminated and never writes past its buffer.
    char small[7];
    kt57::formatEscapedBytes(data, count, small, sizeof small);
    KT57_FUZZ_CHECK(std::memchr(small, '\0', sizeof small) != nullptr);
    return 0;
}

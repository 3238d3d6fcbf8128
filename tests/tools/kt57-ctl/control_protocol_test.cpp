// The request lines kt57d accepts from kt57-ctl, and the ones it refuses.
#include <gtest/gtest.h>

#include <string>

#include "common/control_protocol.h"
#include "console/controls.h"
#include "shell/window_messages.h"

namespace kt57 {
namespace {

struct Accepted {
    const char* line;
    ControlAction action;
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
};

TEST(ControlProtocol, AcceptedLinesBecomeTheMessagesAnotherProgramWouldPost) {
    const Accepted cases[] = {
        {"post A", ControlAction::Message, messageChar, 65, postedCommandMarker},
        {"post P", ControlAction::Message, messageChar, 80, postedCommandMarker},
        {"key G", ControlAction::Message, messageChar, 71, typedKeyLParam},
        {"key g", ControlAction::Message, messageChar, 103, typedKeyLParam},
        {"key A", ControlAction::Message, messageChar, 65, typedKeyLParam},  // typed, so it does nothing
        {"key enter", ControlAction::Message, messageChar, 13, typedKeyLParam},
        {"key esc", ControlAction::Message, messageChar, 27, typedKeyLParam},
        {"key ~", ControlAction::Message, messageChar, 126, typedKeyLParam},
        {"menu 40001", ControlAction::Message, messageCommand, 40001, 0},
        {"menu 0", ControlAction::Message, messageCommand, 0, 0},
        {"menu 65535", ControlAction::Message, messageCommand, 65535, 0},
        {"close", ControlAction::Close, 0, 0, 0},
        {"state", ControlAction::State, 0, 0, 0},
    };
    for (const Accepted& expected : cases) {
        SCOPED_TRACE(expected.line);
        ControlRequest request;
        ASSERT_EQ(parseControlRequest(expected.line, request), nullptr);
        EXPECT_EQ(request.action, expected.action);
        EXPECT_EQ(request.message, expected.message);
        EXPECT_EQ(request.wParam, expected.wParam);
        EXPECT_EQ(request.lParam, expected.lParam);
    }
}

TEST(ControlProtocol, RefusesEverythingElseAndLeavesTheRequestAlone) {
    const std::string refused[] = {
        "", "post", "post a", "post p", "post AP", "post A ", " post A", "post  A", "POST A", "key", "key ",
        "key GG", "key \x7f", "key \x01", "key Enter", "menu", "menu -1", "menu 65536", "menu 400011", "menu 4e4",
        "menu 0x9C41", "close now", "close ", "quit", "state ", "state now", "State", " state", std::string("post A\0", 7), std::string(64, 'k'),
        "key G\r",
    };
    for (const std::string& line : refused) {
        SCOPED_TRACE(testing::PrintToString(line));
        ControlRequest request{ControlAction::Message, 7, 7, 7};
        const char* reason = parseControlRequest(line, request);
        ASSERT_NE(reason, nullptr);
        EXPECT_GT(std::string(reason).size(), 0u);
        EXPECT_EQ(request.message, 7u);
        EXPECT_EQ(request.wParam, 7u);
    }
}

}  // namespace
}  // namespace kt57

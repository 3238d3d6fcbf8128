// The request lines kt57d accepts from kt57-ctl, and the ones it refuses.
#include <gtest/gtest.h>

#include <string>

#include "common/control_protocol.h"

namespace kt57 {
namespace {

struct Accepted {
    const char* line;
    ControlAction action;
    ShellEvent event;
};

TEST(ControlProtocol, AcceptedLinesBecomeTheEventsAnotherProgramWouldPost) {
    const Accepted cases[] = {
        {"post A", ControlAction::Deliver, ShellEvent::posted('A')},
        {"post P", ControlAction::Deliver, ShellEvent::posted('P')},
        {"key G", ControlAction::Deliver, ShellEvent::typed('G')},
        {"key g", ControlAction::Deliver, ShellEvent::typed('g')},
        {"key A", ControlAction::Deliver, ShellEvent::typed('A')},  // typed, so it does nothing
        {"key enter", ControlAction::Deliver, ShellEvent::typed(13)},
        {"key esc", ControlAction::Deliver, ShellEvent::typed(27)},
        {"key ~", ControlAction::Deliver, ShellEvent::typed('~')},
        {"menu 40001", ControlAction::Deliver, ShellEvent::endProgram()},
        {"menu 0", ControlAction::Deliver, ShellEvent::menu(0)},
        {"menu 65535", ControlAction::Deliver, ShellEvent::menu(65535)},
        {"close", ControlAction::Close, {}},
        {"state", ControlAction::State, {}},
    };
    for (const Accepted& expected : cases) {
        SCOPED_TRACE(expected.line);
        ControlRequest request;
        ASSERT_EQ(parseControlRequest(expected.line, request), nullptr);
        EXPECT_EQ(request.action, expected.action);
        EXPECT_TRUE(request.event == expected.event);
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
        const ControlRequest before{ControlAction::Deliver, ShellEvent::typed(7)};
        ControlRequest request = before;
        const char* reason = parseControlRequest(line, request);
        ASSERT_NE(reason, nullptr);
        EXPECT_GT(std::string(reason).size(), 0u);
        EXPECT_EQ(request.action, before.action);
        EXPECT_TRUE(request.event == before.event);
    }
}

}  // namespace
}  // namespace kt57

// The Windows shell's one translation: each message the main window handles becomes the event
// the application acts on, with the click packing and the posted-command marker read here alone.
#include "platform/win32/window_messages.h"

#include <gtest/gtest.h>

namespace kt57 {
namespace {

struct Translation {
    const char* what;
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
    ShellEvent expected;
};

TEST(WindowMessages, EachHandledMessageBecomesItsEvent) {
    const Translation cases[] = {
        {"posted P", messageChar, 'P', postedCommandMarker, ShellEvent::posted('P')},
        {"posted A", messageChar, 'A', postedCommandMarker, ShellEvent::posted('A')},
        {"typed P: a keyboard lParam", messageChar, 'P', 0x00190001, ShellEvent::typed('P')},
        {"typed G", messageChar, 'G', 0x00220001, ShellEvent::typed('G')},
        {"posted G is still G", messageChar, 'G', postedCommandMarker, ShellEvent::posted('G')},
        {"Enter", messageChar, 13, 0x001C0001, ShellEvent::enter()},
        {"Esc", messageChar, 27, 0x00010001, ShellEvent::escape()},
        {"click", messageLeftButtonDown, 0x0008, 0x00C80064, ShellEvent::click(100, 200)},
        {"double click", messageLeftButtonDoubleClick, 0x0001, 0x00C80064, ShellEvent::doubleClick(100, 200)},
        {"a press left of and above the window", messageLeftButtonDown, 0, -1, ShellEvent::click(0xFFFF, 0xFFFF)},
        {"the end-program command", messageCommand, 40001, 0, ShellEvent::endProgram()},
        {"an accelerator's command: high word 1", messageCommand, 0x00019C41, 0, ShellEvent::endProgram()},
        {"another command", messageCommand, 40002, 0, ShellEvent::menu(40002)},
        {"timer", messageTimer, 1, 0, ShellEvent::tick()},
        {"paint", messagePaint, 0, 0, ShellEvent::repaint()},
        {"destroy", messageDestroy, 0, 0, ShellEvent::destroyed()},
    };
    for (const Translation& c : cases) {
        SCOPED_TRACE(c.what);
        ShellEvent event = ShellEvent::destroyed();
        ASSERT_TRUE(translateWindowMessage(c.message, c.wParam, c.lParam, event));
        EXPECT_EQ(event.kind, c.expected.kind);
        EXPECT_EQ(event.character, c.expected.character);
        EXPECT_EQ(event.x, c.expected.x);
        EXPECT_EQ(event.y, c.expected.y);
        EXPECT_EQ(event.command, c.expected.command);
    }
}

TEST(WindowMessages, OtherMessagesAreLeftToTheDefaultProcedure) {
    for (const uint32_t message : {0x0010u /* close */, 0x0005u /* size */, 0x0100u /* key down */, 0x0202u}) {
        ShellEvent event = ShellEvent::tick();
        EXPECT_FALSE(translateWindowMessage(message, 0, 0, event)) << message;
        EXPECT_EQ(event.kind, ShellEventKind::Tick);
    }
}

}  // namespace
}  // namespace kt57

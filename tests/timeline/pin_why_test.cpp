// Why a pin has its value: the frame and line that set it, and where an '@' frame's bit came from.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "timeline/pin_why.h"
#include "tools/kt57-run/events_file.h"

namespace kt57::test {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Step {
    WhyStepKind kind;
    int32_t line;  // shown number, 0 for none
};

void expectChain(const PinWhy& why, const std::vector<Step>& steps) {
    ASSERT_EQ(why.chain.size(), steps.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(why.chain[i].kind, steps[i].kind) << "step " << i;
        if (steps[i].kind == WhyStepKind::InputEvent) EXPECT_EQ(why.chain[i].eventsLine, steps[i].line) << "step " << i;
        else EXPECT_EQ(shownLineNumber(why.chain[i].line), steps[i].line) << "step " << i;
    }
}

// The press-fit mistake: after the R on line 5, OR@ on line 8 and W0@ on line 9 send the inputs to
// the outputs; out3 comes on from in3, the clamp (out0) drops.
TEST(PinWhy, ThePressFitMistakeLeadsBackToTheReadAndTheInput) {
    RehearsalInputs inputs;
    inputs.program = RehearsalFile::of(slurp(std::filesystem::path(KT57_PRESS_FIT_DIR) / "KT57Data.txt"));
    std::string error;
    ASSERT_TRUE(parseEvents(slurp(std::filesystem::path(KT57_PRESS_FIT_DIR) / "press-fit.events"), "events",
                            inputs.events, error));
    inputs.until = 4000;
    Timeline timeline;
    ASSERT_TRUE(timeline.build(inputs, error)) << error;

    const PinWhy out3 = explainPin(timeline, PinName{PinSide::Output, 3}, 2500);
    EXPECT_EQ(out3.level, 1);
    EXPECT_EQ(out3.changedAt, 2010);
    expectChain(out3, {{WhyStepKind::Frame, 9}, {WhyStepKind::Reply, 5}, {WhyStepKind::InputEvent, 2}});
    EXPECT_EQ(out3.chain[0].frame, "W000000c");
    EXPECT_EQ(out3.chain[1].value, 0x000008u);
    EXPECT_EQ(out3.chain[2].at, 2000);
    EXPECT_TRUE(out3.hasNext);
    EXPECT_EQ(out3.nextLevel, 0);

    const std::string text = describePinWhy(timeline, out3);
    EXPECT_NE(text.find("line 9 (W0@) sent W000000c"), std::string::npos) << text;
    EXPECT_NE(text.find("the reply at 2010 ms to line 5 (R0000000), which read the inputs as 000008"),
              std::string::npos) << text;
    EXPECT_NE(text.find("in3 had risen at 2000 ms, when line 2 of the events file"), std::string::npos) << text;

    expectChain(explainPin(timeline, PinName{PinSide::Output, 2}, 2500), {{WhyStepKind::Frame, 9}, {WhyStepKind::OrOutput, 8}});
    expectChain(explainPin(timeline, PinName{PinSide::Output, 0}, 2500), {{WhyStepKind::Frame, 9}, {WhyStepKind::Reply, 5}});
    // Before the mistake the clamp was on from a literal: nothing further to trace.
    const PinWhy clamp = explainPin(timeline, PinName{PinSide::Output, 0}, 1500);
    EXPECT_EQ(clamp.level, 1);
    expectChain(clamp, {{WhyStepKind::Frame, 4}});
    EXPECT_EQ(clamp.nextAt, 2010);
}

TEST(PinWhy, RegisterBitsComeFromTheInstructionThatDecidedThem) {
    RehearsalInputs inputs;
    inputs.program = RehearsalFile::of(
        "    W000000F\n"     // 1: out0-out3 on, the reply sets the register
        "    AN@ FFFFFE\n"   // 2: clears bit 0
        "    OR@ 000030\n"   // 3: sets bits 4 and 5
        "    AN@ FFFFDF\n"   // 4: clears bit 5 again: it never reaches the board
        "    W0@\n"          // 5: out0 falls, out4 rises
        "    SLP 1\n"
        "    W0@\n");        // 7: the same again: nothing changes
    inputs.until = 5000;
    Timeline timeline;
    std::string error;
    ASSERT_TRUE(timeline.build(inputs, error)) << error;
    expectChain(explainPin(timeline, PinName{PinSide::Output, 0}, 4000), {{WhyStepKind::Frame, 5}, {WhyStepKind::AndOutput, 2}});
    expectChain(explainPin(timeline, PinName{PinSide::Output, 4}, 4000), {{WhyStepKind::Frame, 5}, {WhyStepKind::OrOutput, 3}});
    expectChain(explainPin(timeline, PinName{PinSide::Output, 1}, 4000), {{WhyStepKind::Frame, 1}});
    const PinWhy out5 = explainPin(timeline, PinName{PinSide::Output, 5}, 4000);
    EXPECT_FALSE(out5.changed);
    EXPECT_FALSE(out5.hasNext);
    EXPECT_NE(describePinWhy(timeline, out5).find("out5 is 0 at 4000 ms, as it has been since the rehearsal began."),
              std::string::npos);
}

TEST(PinWhy, AnInputNamesTheEventThatSetIt) {
    RehearsalInputs inputs;
    inputs.program = RehearsalFile::of("010 R0000000\n    JMP 010\n");
    std::string error;
    ASSERT_TRUE(parseEvents("# inputs\n\n1500 input 000100\n3000 input 000000\n", "events", inputs.events, error));
    inputs.until = 4000;
    Timeline timeline;
    ASSERT_TRUE(timeline.build(inputs, error)) << error;
    const PinWhy in8 = explainPin(timeline, PinName{PinSide::Input, 8}, 2000);
    EXPECT_EQ(in8.level, 1);
    expectChain(in8, {{WhyStepKind::InputEvent, 3}});
    EXPECT_EQ(in8.nextAt, 3000);
    EXPECT_EQ(describePinWhy(timeline, in8),
              "in8 is 1 at 2000 ms.\n"
              "  It rose at 1500 ms, when line 3 of the events file set the inputs to 000100.\n"
              "  Next change: in8 falls at 3000 ms.\n");
}

}  // namespace
}  // namespace kt57::test

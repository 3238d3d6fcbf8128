#include "platform/win32/substitute/frame_log.h"

#include <gtest/gtest.h>

#include <string>

namespace kt57 {
namespace {

std::string describe(const std::string& bytes, size_t outSize = 256) {
    std::string out(outSize, '#');
    describeBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.data(), outSize);
    return out.c_str();
}

TEST(FrameLog, DescribesFramesAsOneLineOfText) {
    EXPECT_EQ(describe("WA000001\r"), "WA000001\\r");
    EXPECT_EQ(describe(std::string("a\0\xFF\\\n", 5)), "a\\x00\\xFF\\\\\\x0A");
    EXPECT_EQ(describe(""), "");
}

TEST(FrameLog, CutsAtAWholeByteWhenTheOutputIsSmall) {
    EXPECT_EQ(describe("AB\r", 4), "AB");     // "\r" needs two more characters than fit
    EXPECT_EQ(describe("\x01", 4), "");       // "\x01" needs four
    EXPECT_EQ(describe("ABCDEF", 4), "ABC");  // room for the NUL is kept
}

}  // namespace
}  // namespace kt57

#include "console/cp932.h"

#include <gtest/gtest.h>

#include <string>

namespace kt57 {
namespace {

struct DecodeCase {
    std::string bytes;
    uint32_t codePoint;
    int taken;
};

TEST(Cp932, DecodesSingleBytesPairsAndInvalidInput) {
    const DecodeCase cases[] = {
        {"A", 'A', 1},
        {"\x0D", 0x0D, 1},
        {"\x7F", 0x7F, 1},
        {"\x80", replacementCharacter, 1},
        {"\xA0", replacementCharacter, 1},
        {"\xA1", 0xFF61, 1},             // first half-width katakana
        {"\xDF", 0xFF9F, 1},             // last one
        {"\xFD", replacementCharacter, 1},
        {"\xFF", replacementCharacter, 1},
        {"\x8E\x9F", 0x6B21, 2},         // 次
        {"\x81\xA1", 0x25A0, 2},         // ■
        {"\x81\xA0", 0x25A1, 2},         // □
        {"\x82l", 0xFF2D, 2},            // Ｍ, trail byte below 0x80
        {"\x81\x40", 0x3000, 2},         // ideographic space
        {"\xFC\x4B", 0x9ED1, 2},         // last defined lead row
        {"\x85\x40", replacementCharacter, 2},  // undefined pair takes both bytes
        {"\x8E", replacementCharacter, 1},      // lone lead byte at the end
        {"\x8E\x7F", replacementCharacter, 1},  // 0x7F is no trail byte
        {"\x8E ", replacementCharacter, 1},
    };
    for (const DecodeCase& c : cases) {
        uint32_t codePoint = 0;
        const int taken = decodeCp932(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(), &codePoint);
        EXPECT_EQ(codePoint, c.codePoint) << "bytes of length " << c.bytes.size() << " first " << int(static_cast<unsigned char>(c.bytes[0]));
        EXPECT_EQ(taken, c.taken) << int(static_cast<unsigned char>(c.bytes[0]));
    }
    uint32_t codePoint = 0;
    EXPECT_EQ(decodeCp932(nullptr, 0, &codePoint), 0);
}

// Samples across the generated table: each block of the code page, its extensions and its gaps.
TEST(Cp932, TableMatchesTheCodePageAcrossItsBlocks) {
    const struct {
        unsigned lead, trail;
        uint32_t codePoint;
    } cases[] = {
        {0x81, 0x40, 0x3000}, {0x81, 0x5F, 0xFF3C}, {0x81, 0x60, 0xFF5E}, {0x81, 0x91, 0xFFE0},
        {0x81, 0xAD, replacementCharacter}, {0x82, 0x9F, 0x3041}, {0x83, 0x94, 0x30F4},
        {0x87, 0x54, 0x2160}, {0x88, 0x9E, replacementCharacter}, {0x88, 0x9F, 0x4E9C},
        {0x9F, 0xFC, 0x6ECC}, {0xE0, 0x40, 0x6F3E}, {0xEA, 0xA4, 0x7199}, {0xEA, 0xA5, replacementCharacter},
        {0xEB, 0x40, replacementCharacter}, {0xED, 0x40, 0x7E8A}, {0xF0, 0x40, 0xE000}, {0xF9, 0xFC, 0xE757},
        {0xFA, 0x40, 0x2170}, {0xFC, 0x4B, 0x9ED1}, {0xFC, 0x4C, replacementCharacter},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp932PairToUnicode(static_cast<unsigned char>(c.lead), static_cast<unsigned char>(c.trail)), c.codePoint)
            << std::hex << c.lead << " " << c.trail;
    }
}

TEST(Cp932, LeadBytesAreExactlyTheDoubleByteRanges) {
    for (int byte = 0; byte < 256; ++byte) {
        const bool expected = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        EXPECT_EQ(isCp932LeadByte(static_cast<unsigned char>(byte)), expected) << byte;
    }
}

TEST(Cp932, ConvertsScreenTextsToUtf8) {
    const char banner[] = "DIO\x83V\x81[\x83P\x83\x93\x83T KT57D";
    EXPECT_EQ(cp932ToUtf8(banner, sizeof banner - 1), "DIOシーケンサ KT57D");
    const char menu[] = "\xCC\xDF\xDB\xB8\xDE\xD7\xD1\x8FI\x97\xB9";
    EXPECT_EQ(cp932ToUtf8(menu, sizeof menu - 1), "ﾌﾟﾛｸﾞﾗﾑ終了");
    EXPECT_EQ(cp932ToUtf8("a\x8E", 2), "a\xEF\xBF\xBD");
    EXPECT_EQ(cp932ToUtf8(nullptr, 3), "");
}

TEST(Cp932, AppendsUtf8OfEveryLength) {
    std::string out;
    for (uint32_t codePoint : {0x41u, 0xE9u, 0x6B21u, 0x1F600u, 0xD800u, 0x110000u}) appendUtf8(out, codePoint);
    EXPECT_EQ(out, "A\xC3\xA9\xE6\xAC\xA1\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace kt57

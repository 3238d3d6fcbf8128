// The loading rules, line by line and file by file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "device/hex.h"
#include "sequencer/loader.h"
#include "sequencer/opcode.h"
#include "sequencer/text_mode_reader.h"
#include "tests/support/scratch_files.h"

namespace kt57 {

namespace {

ProgramStore loadBytes(const std::string& bytes) {
    ProgramStore store{};
    loadProgramBytes(store, bytes.data(), bytes.size());
    return store;
}

std::string textOf(const ProgramLine& line) { return std::string(line.text, textColumns); }

// One line, followed by lines 1-3 bearing labels 5, 10 and 20 so that jumps have places to go.
struct LineCase {
    const char* source;
    const char* text;  // the 11 columns
    int32_t label;
    int32_t opcode;
    int32_t target;  // resolved; -2 = the end (lineCount)
    int32_t operand;
};

constexpr int32_t end = -2;

const LineCase lineCases[] = {
    {"JMP 010\n", "JMP 010    ", 0, Jmp, 2, -1},
    {"JMP 5\n", "JMP 5      ", 0, Jmp, 1, -1},
    {"JMP 05\n", "JMP 05     ", 0, Jmp, 1, -1},
    {"JMP 5X\n", "JMP 5X     ", 0, Jmp, 1, -1},
    {"JMP 000\n", "JMP 000    ", 0, Jmp, end, -1},
    {"JMP\n", "JMP        ", 0, Jmp, end, -1},
    {"JMP \n", "JMP        ", 0, Jmp, end, -1},
    {"JMP 999\n", "JMP 999    ", 0, Jmp, end, -1},
    {"\n", "           ", 0, Blank, -1, -1},
    {"/ note\n", "           ", 0, Blank, -1, -1},
    {"010\n", "           ", 10, Blank, -1, -1},
    {"000 NOP\n", "NOP        ", 0, Nop, -1, -1},
    {"     JMP 010\n", " JMP 010   ", 0, Blank, -1, -1},
    {"    JMP 010\n", "JMP 010    ", 0, Jmp, 2, -1},
    {"\t\t\t\t\tJMP 010\n", "\tJMP 010   ", 0, DeviceCommandLine, -1, -1},
    {"1234 JMP 010\n", "4 JMP 010  ", 123, DeviceCommandLine, -1, -1},
    {"7JMP 010\n", "JMP 010    ", 7, Jmp, 2, -1},
    {"AND 00ff00\n", "AND 00ff00 ", 0, And, -1, -1},
    {"AND FF\n", "AND FF     ", 0, And, -1, -1},
    {"AND 00FF00\n", "AND 00FF00 ", 0, And, -1, 0x00FF00},
    {"POL 000000\n", "POL 000000 ", 0, Pol, -1, 0},
    {"OR  123456\n", "OR  123456 ", 0, Or, -1, 0x123456},
    {"OR 123456\n", "OR 123456  ", 0, OrShort, -1, 0x123456},
    {"JZ  010\n", "JZ  010    ", 0, Jz, 2, -1},
    {"JZ 010\n", "JZ 010     ", 0, JzShort, 2, -1},
    {"JNG 020\n", "JNG 020    ", 0, Jng, 3, -1},
    {"JOK 020\n", "JOK 020    ", 0, Jok, 3, -1},
    {"JNZ 020\n", "JNZ 020    ", 0, Jnz, 3, -1},
    {"AN@ FFFF00\n", "AN@ FFFF00 ", 0, AndOutput, -1, 0xFFFF00},
    {"OR@ 000001\n", "OR@ 000001 ", 0, OrOutput, -1, 1},
    {"FST 000100\n", "FST 000100 ", 0, Fst, -1, 0x100},
    {"FMK FFFFFF\n", "FMK FFFFFF ", 0, Fmk, -1, 0xFFFFFF},
    {"FCH 000001\n", "FCH 000001 ", 0, Fch, -1, 1},
    {"DECX\n", "DECX       ", 0, Dec, -1, -1},
    {"NOPE\n", "NOPE       ", 0, Nop, -1, -1},
    {"SETX\n", "SETX       ", 0, DeviceCommandLine, -1, -1},
    {"SET 12\n", "SET 12     ", 0, Set, -1, -1},
    {"SLP 1.5\n", "SLP 1.5    ", 0, Slp, -1, -1},
    {"jmp 010\n", "jmp 010    ", 0, DeviceCommandLine, -1, -1},
    {"SET <5\n", "SET00005   ", 0, DeviceCommandLine, -1, -1},
    {"X<5\n", "X<5        ", 0, DeviceCommandLine, -1, -1},
    {"XY<100\n", "XY000064   ", 0, DeviceCommandLine, -1, -1},
    {"XY<-1\n", "XY0FFFFF   ", 0, DeviceCommandLine, -1, -1},
    {"XY<-\n", "XY000000   ", 0, DeviceCommandLine, -1, -1},
    {"XY8<5\n", "XY800005   ", 0, DeviceCommandLine, -1, -1},
    {"XY0F0000<1\n", "XY0F0001   ", 0, DeviceCommandLine, -1, -1},
    {"XYZ0<1\n", "XYZ00001   ", 0, DeviceCommandLine, -1, -1},
    {"XYZG<1\n", "XYZG       ", 0, DeviceCommandLine, -1, -1},
    {"XY<2000000\n", "XY0E8480   ", 0, DeviceCommandLine, -1, -1},
    {"XY<12345678\n", "XY02D687   ", 0, DeviceCommandLine, -1, -1},
    {"XY<100 / ignored\n", "XY000064   ", 0, DeviceCommandLine, -1, -1},
    {"XY123456   comment\n", "XY123456   ", 0, DeviceCommandLine, -1, -1},
    {"W0000001/ sent\n", "W0000001   ", 0, DeviceCommandLine, -1, -1},
    {"W0@\n", "W0@        ", 0, DeviceCommandLine, -1, -1},
    {"W0000001\r\n", "W0000001   ", 0, DeviceCommandLine, -1, -1},
    {"W0000001\r\r\n", "W0000001\r  ", 0, DeviceCommandLine, -1, -1},
    {"W00\r00001\n", "W00\r00001  ", 0, DeviceCommandLine, -1, -1},
};

TEST(LoaderLine, EachFormGivesItsTextLabelOpcodeAndResolvedArguments) {
    for (const LineCase& c : lineCases) {
        SCOPED_TRACE(c.source);
        const ProgramStore store = loadBytes(std::string(c.source) + "005\n010\n020\n");
        ASSERT_EQ(store.lineCount, 4);
        const ProgramLine& line = store.lines[0];
        EXPECT_EQ(textOf(line), c.text);
        EXPECT_EQ(line.text[textColumns], '\0');
        EXPECT_EQ(line.label, c.label);
        EXPECT_EQ(line.opcode, c.opcode);
        EXPECT_EQ(line.target, c.target == end ? store.lineCount : c.target);
        EXPECT_EQ(line.operand, c.operand);
    }
}

TEST(LoaderLine, LastLineWithoutNewlineIsTakenWhole) {
    const char* cases[][2] = {
        {"JMP 010", "JMP 010    "}, {"W0000001", "W0000001   "}, {"XY<100", "XY000064   "},
        {"010", "           "},     {"010    ", "           "}, {"A", "A          "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        const std::string source = c[0];
        const ProgramStore store = loadBytes(source);
        ASSERT_EQ(store.lineCount, 1);
        EXPECT_EQ(textOf(store.lines[0]), c[1]);
        EXPECT_EQ(store.lines[0], loadBytes(source + "\n").lines[0]) << "same as with its newline";
    }
}

TEST(LoaderLine, NothingBeyondTheBytesIsRead) {
    // A heap copy of exactly the file's bytes, so a sanitizer build sees any read past them.
    for (const std::string source : {"010", "010    ", "XY<", "XY<-", "JZ 0", "    "}) {
        SCOPED_TRACE(source);
        std::unique_ptr<char[]> bytes(new char[source.size()]);
        std::memcpy(bytes.get(), source.data(), source.size());
        ProgramStore store{};
        loadProgramBytes(store, bytes.get(), source.size());
        EXPECT_EQ(store.lineCount, 1);
    }
}

TEST(LoaderResolution, JumpsFindTheFirstLabelAndNeverThemselves) {
    const ProgramStore store = loadBytes(
        "020 NOP\n"     // 0
        "005 JMP 005\n" // 1: its own line and no earlier label 5
        "020 NOP\n"     // 2: a duplicate label
        "JMP 020\n"     // 3
        "030 JMP 030\n" // 4
        "030 NOP\n"     // 5
        "JZ 030\n");    // 6
    EXPECT_EQ(store.lines[1].target, store.lineCount);
    EXPECT_EQ(store.lines[3].target, 0);
    EXPECT_EQ(store.lines[4].target, store.lineCount);
    EXPECT_EQ(store.lines[6].target, 4);
    EXPECT_EQ(findLabel(store, "20"), 0);
    EXPECT_EQ(findLabel(store, "0201"), 0) << "a fourth digit is not read";
    EXPECT_EQ(findLabel(store, "000"), store.lineCount);
    EXPECT_EQ(findLabel(store, "x"), store.lineCount);
}

TEST(LoaderPieces, LongLinesAreReadInPiecesOf99) {
    const std::string line99(99, 'A');
    ProgramStore store = loadBytes(line99 + "\nNOP\n");
    ASSERT_EQ(store.lineCount, 3) << "99 characters then the newline alone";
    EXPECT_EQ(textOf(store.lines[0]), "AAAAAAAAAAA");
    EXPECT_EQ(store.lines[1].opcode, Blank);
    EXPECT_EQ(store.lines[2].opcode, Nop);

    store = loadBytes(std::string(98, 'A') + "\r\nNOP\n");
    EXPECT_EQ(store.lineCount, 2) << "98 characters and CR LF fit one piece";

    store = loadBytes(std::string(99, 'A') + "JMP 010\n010\n");
    ASSERT_EQ(store.lineCount, 3);
    EXPECT_EQ(store.lines[1].opcode, Jmp);
    EXPECT_EQ(store.lines[1].target, 2);
}

TEST(LoaderPieces, ReaderTakesCrLfAsOneNewlineAndStopsAtCtrlZ) {
    const std::string bytes = std::string("a\r\nb\rc\n\r\x1A") + "more\n";
    TextModeReader reader{bytes.data(), bytes.size(), 0};
    char piece[maxPieceCharacters + 1];
    ASSERT_EQ(readPiece(reader, piece), 2);
    EXPECT_STREQ(piece, "a\n");
    ASSERT_EQ(readPiece(reader, piece), 4);
    EXPECT_STREQ(piece, "b\rc\n");
    ASSERT_EQ(readPiece(reader, piece), 1);
    EXPECT_STREQ(piece, "\r");
    EXPECT_EQ(readPiece(reader, piece), 0);
    EXPECT_EQ(readPiece(reader, piece), 0);
}

TEST(LoaderFile, LineEndingsAndCtrlZGiveTheSameStore) {
    const std::string lf = "010 W0000001\nAND 000001\nJOK 010\nSLP 0.5\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const ProgramStore expected = loadBytes(lf);
    EXPECT_EQ(expected.lineCount, 4);
    for (const std::string& variant : {crlf, lf + "\x1A", crlf + "\x1A", crlf + "\x1AJMP 010\r\n"}) {
        const ProgramStore store = loadBytes(variant);
        EXPECT_EQ(std::memcmp(&store, &expected, sizeof store), 0);
    }
}

TEST(LoaderFile, EndEntryAndUnusedEntries) {
    ProgramStore store = loadBytes("");
    EXPECT_EQ(store.lineCount, 0);
    EXPECT_EQ(store.lines[0].target, -1) << "the entry where reading ended";
    store = loadBytes("NOP\n");
    EXPECT_EQ(store.lines[1].target, -1);
    EXPECT_EQ(store.lines[1].operand, -1);
    EXPECT_EQ(store.lines[2].target, 0);
    EXPECT_EQ(store.lines[2].opcode, 0);
    EXPECT_EQ(textOf(store.lines[2]), std::string(textColumns, '\0'));
}

class LoaderDirectory : public ::testing::Test {
protected:
    void write(const std::string& bytes) { kt57::support::writeFile(scratch.file(programFileName), bytes); }
    ProgramStore load() {
        ProgramStore store;
        std::memset(&store, 0x5A, sizeof store);  // loadProgram must start from zero itself
        StandardFiles files;
        loadProgram(store, directory.string().c_str(), files);
        return store;
    }
    const kt57::support::ScratchDirectory scratch{"kt57-loader"};
    const std::filesystem::path directory{scratch.path()};
};

TEST_F(LoaderDirectory, MissingAndEmptyFilesLoadNothing) {
    EXPECT_EQ(load().lineCount, 0);
    write("");
    EXPECT_EQ(load().lineCount, 0);
    write("\x1A");
    EXPECT_EQ(load().lineCount, 0);
}

TEST_F(LoaderDirectory, FileGivesTheSameStoreAsItsBytes) {
    const std::string bytes = "010 W0000001\r\nJNZ 010\r\nXY<-5\r\n\r\n/ comment\r\n020";
    write(bytes);
    const ProgramStore fromFile = load();
    const ProgramStore fromBytes = loadBytes(bytes);
    EXPECT_EQ(fromFile.lineCount, 6);
    EXPECT_EQ(std::memcmp(&fromFile, &fromBytes, sizeof fromFile), 0);
}

TEST_F(LoaderDirectory, OnlyThe256FirstLinesAreRead) {
    std::string bytes;
    for (int i = 1; i <= 300; ++i) bytes += "SET " + std::to_string(i % 1000) + "\r\n";
    write(bytes);
    const ProgramStore store = load();
    EXPECT_EQ(store.lineCount, 256);
    EXPECT_EQ(textOf(store.lines[255]), "SET 256    ");
}

TEST_F(LoaderDirectory, AHugeFileLoadsLikeItsWholeBytes) {
    // Lines of 98 characters and CR LF use the most bytes per program line.
    std::string bytes;
    for (int i = 0; i < 400; ++i) bytes += std::string(97, 'A') + "\r\r\n";
    write(bytes);
    const ProgramStore fromFile = load();
    const ProgramStore fromBytes = loadBytes(bytes);
    EXPECT_EQ(fromFile.lineCount, 256);
    EXPECT_EQ(std::memcmp(&fromFile, &fromBytes, sizeof fromFile), 0);
}

TEST(ParseHex, ExactlyCountUpperCaseDigits) {
    struct Case { int32_t count; const char* text; int32_t value; };
    const Case cases[] = {
        {6, "00FF00", 0x00FF00}, {6, "FFFFFF", 0xFFFFFF}, {6, "ABCDEF", 0xABCDEF}, {1, "9", 9},
        {6, "00ff00", -1},       {6, "00FF0", -1},        {6, "00FF 0", -1},       {0, "1", -1},
        {-1, "1", -1},           {3, "12G", -1},          {2, "1234", 0x12},       {8, "FFFFFFFF", -1},
        {8, "7FFFFFFF", 0x7FFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseHex(c.count, c.text), c.value) << c.count << " " << c.text;
    }
}

}  // namespace

}  // namespace kt57

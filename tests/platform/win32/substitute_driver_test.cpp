// The substitute FTD2XX.dll's entry points as the DLL runs them, built natively: KT57Board.txt
// read again when it changes, and FTD2XX.log with its frames escaped like every other log.
#include "platform/win32/substitute/substitute_driver.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kt57 {
namespace {

class ManualClock : public Clock {
public:
    int64_t nowMilliseconds() override { return now; }
    int64_t now = 0;
};

class SubstituteDriverTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kt57-substitute-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        driver.setDirectory((directory + "/").c_str());
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    void writeConfig(const std::string& text) { std::ofstream(directory + "/KT57Board.txt", std::ios::binary) << text; }
    // The log's lines as written, each with its time.
    std::string timedLog() {
        std::ifstream in(directory + "/FTD2XX.log", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The log without the times that start its lines.
    std::string log() {
        std::istringstream lines(timedLog());
        std::string text;
        for (std::string line; std::getline(lines, line);) text += line.substr(line.find(' ') + 1) + "\n";
        return text;
    }
    void* open(const char* serial) {
        void* handle = nullptr;
        EXPECT_EQ(driver.openEx(const_cast<char*>(serial), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
        return handle;
    }
    std::string transact(void* handle, const char* frame) {
        Dword count = 0;
        EXPECT_EQ(driver.write(handle, const_cast<char*>(frame), 9, &count), FT_OK);
        clock.now += 5;
        char reply[9] = {};
        EXPECT_EQ(driver.read(handle, reply, sizeof reply, &count), FT_OK);
        return std::string(reply, count);
    }

    std::string directory;
    ManualClock clock;
    SubstituteDriver driver{clock};
};

TEST_F(SubstituteDriverTest, TheFileSetsTheBoardAndAnEditIsReadAtTheNextCall) {
    writeConfig("serial = AB123456\ninputs = 0F\n");
    void* handle = open("AB123456");
    EXPECT_EQ(transact(handle, "RA000000\r"), "RA00000F\r");
    // A longer file, so the edit is seen however coarse the file times are.
    writeConfig("serial = AB123456\ninput 0000A5\nmute\n");
    EXPECT_EQ(transact(handle, "RA000000\r"), "");
    writeConfig("serial AB123456\ninput 0000A5   \n");
    EXPECT_EQ(transact(handle, "RA000000\r"), "RA0000A5\r");
}

TEST_F(SubstituteDriverTest, TheLogEscapesFramesLikeEveryOtherLog) {
    writeConfig("bogus line\n");
    void* handle = open("VB000001");
    transact(handle, "W0000001\r");
    EXPECT_EQ(driver.close(handle), FT_OK);
    const std::string text = log();
    EXPECT_NE(text.find("config line 1: unknown command 'bogus'\n"), std::string::npos) << text;
    EXPECT_NE(text.find("open VB000001\nwrite W0000001\\x0D\nread U0000001\\x0D\nclose\n"), std::string::npos) << text;
}

TEST_F(SubstituteDriverTest, EveryLineStartsWithItsTimeSinceTheLogOpened) {
    clock.now = 1000;
    void* handle = open("VB000001");  // opens the log at 1 s: its times count from there
    transact(handle, "W0000001\r");  // written at 0 s, read 5 ms later
    clock.now += 1234;
    EXPECT_EQ(driver.close(handle), FT_OK);
    const std::string text = timedLog();
    EXPECT_NE(text.find("0.000000 write W0000001\\x0D\n0.005000 read U0000001\\x0D\n1.239000 close\n"),
              std::string::npos)
        << text;
}

TEST_F(SubstituteDriverTest, StatusCountsTheWindowsWay) {
    void* handle = open("VB000001");
    Dword count = 0;
    ASSERT_EQ(driver.write(handle, const_cast<char*>("R0000000\r"), 9, &count), FT_OK);
    clock.now += 1;
    Dword rx = 99, tx = 99, events = 99;
    ASSERT_EQ(driver.getStatus(handle, &rx, &tx, &events), FT_OK);
    EXPECT_EQ(rx, 9u);
    EXPECT_EQ(tx, 0u);
    EXPECT_EQ(events, 0u);
    EXPECT_EQ(driver.getStatus(handle, nullptr, &tx, &events), FT_INVALID_PARAMETER);
}

}  // namespace
}  // namespace kt57

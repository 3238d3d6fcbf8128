// Garbage from a board on the Linux transport: a pseudo-terminal registered as a virtual board,
// opened by the tty driver through the device link, and fed every byte value (the terminal's
// control characters included) in chunks that split, join and garble frames. pollReply must take
// exactly the bytes that arrived, nine at a time and in order, and applyReply must take only
// valid value fields: the terminal may not translate, swallow or add a byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "device/device_link.h"
#include "device/hex.h"
#include "platform/linux/board_registry.h"
#include "platform/linux/tty_driver.h"
#include "sequencer/reply.h"
#include "tests/support/scratch_files.h"

namespace kt57 {
namespace {

class TtyGarbage : public ::testing::Test {
protected:
    void SetUp() override {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        const std::string registry = scratch.path() + "/runtime/kt57d/boards";
        ASSERT_TRUE(createRegistryDirectory(registry.c_str()));
        std::filesystem::create_directory(scratch.file("by-id"));
        BoardRegistration entry;
        std::snprintf(entry.devicePath, sizeof entry.devicePath, "%s", ptsname(master));
        entry.ownerPid = getpid();
        ASSERT_TRUE(processStartTime(entry.ownerPid, entry.ownerStartTime));
        ASSERT_TRUE(writeRegistration(registry.c_str(), "VB000001", entry));

        BoardLocations locations;
        std::snprintf(locations.byIdDirectory, sizeof locations.byIdDirectory, "%s", scratch.file("by-id").c_str());
        std::snprintf(locations.registryDirectory, sizeof locations.registryDirectory, "%s", registry.c_str());
        driver = std::make_unique<TtyDriver>(locations);
        link.driver = driver.get();
        std::snprintf(link.serialNumber, sizeof link.serialNumber, "VB000001");
        ASSERT_EQ(openLink(link), LinkState::Open);
        link.linkState = LinkState::Open;
    }
    void TearDown() override {
        releaseLink(link);
        if (master >= 0) close(master);
    }

    // Waits, without sleeping, until the terminal has passed at least count bytes on.
    uint32_t waitForQueued(uint32_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        uint32_t queued = 0;
        uint32_t unsent = 0;
        uint32_t events = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (driver->FT_GetStatus(link.handle, &queued, &unsent, &events) != FT_OK) return 0;
            if (queued >= count) break;
            sched_yield();
        }
        return queued;
    }

    support::ScratchDirectory scratch;
    int master = -1;
    std::unique_ptr<TtyDriver> driver;
    DeviceLink link;
};

TEST_F(TtyGarbage, EveryByteArrivesUnchangedNineAtATime) {
    std::mt19937 random(57);
    std::string sent;      // everything written at the board's end
    size_t taken = 0;      // how much of it pollReply has read
    MachineState machine;
    for (int round = 0; round < 300; ++round) {
        // A chunk: random bytes, a whole valid reply, or a piece of one.
        std::string chunk;
        switch (random() % 3) {
            case 0:
                for (int i = static_cast<int>(random() % 20); i > 0; --i) chunk.push_back(static_cast<char>(random() & 0xFF));
                break;
            case 1: {
                char frame[16];
                std::snprintf(frame, sizeof frame, "%cX%06X\r", "URW"[random() % 3], static_cast<unsigned>(random() & 0xFFFFFF));
                chunk = frame;
                break;
            }
            default:
                chunk = std::string("R0123456\r").substr(0, 1 + random() % 8);
                break;
        }
        ASSERT_EQ(write(master, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
        sent += chunk;
        const uint32_t expectQueued = static_cast<uint32_t>(sent.size() - taken);
        ASSERT_EQ(waitForQueued(expectQueued), expectQueued) << "round " << round;

        unsigned char frame[frameLength] = {};
        const int received = pollReply(link, frame);
        if (expectQueued < frameLength) {
            ASSERT_EQ(received, 0) << "round " << round;
            continue;
        }
        ASSERT_EQ(received, frameLength) << "round " << round;
        ASSERT_EQ(std::string(reinterpret_cast<char*>(frame), frameLength), sent.substr(taken, frameLength));
        taken += frameLength;

        const MachineState before = machine;
        applyReply(machine, frame);
        const int32_t value = parseHex(6, reinterpret_cast<const char*>(frame + 2));
        if (value < 0) {
            EXPECT_EQ(machine.outputRegister, before.outputRegister);
            EXPECT_EQ(machine.inputRegister, before.inputRegister);
        } else {
            EXPECT_EQ(machine.outputRegister, value);
        }
    }
    // All 256 byte values went through at least once.
    bool seen[256] = {};
    for (char c : sent.substr(0, taken)) seen[static_cast<unsigned char>(c)] = true;
    int distinct = 0;
    for (bool b : seen) distinct += b;
    EXPECT_GT(distinct, 200);
}

}  // namespace
}  // namespace kt57

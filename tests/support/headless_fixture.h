// A scratch directory with a program and an optional mode file, a headless run on it, and
// recorders that note what reached the board and the screen, stamped with the virtual time.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "console/cp932.h"
#include "platform/headless/headless_run.h"
#include "tests/support/scratch_files.h"

namespace kt57::test {

// Forwards to the virtual board and notes every open, write and close.
class RecordingDriver : public FtDriver {
public:
    struct Call {
        int64_t at;
        char what;  // 'O' open succeeded, 'W' write, 'C' close
        std::string bytes;
    };

    RecordingDriver(FtDriver& inner, VirtualClock& clock) : inner_(inner), clock_(clock) {}

    std::vector<Call> calls;
    int count(char what) const {
        int n = 0;
        for (const Call& call : calls) n += call.what == what ? 1 : 0;
        return n;
    }

    FT_STATUS FT_ListDevices(void* a, void* b, uint32_t flags) override { return inner_.FT_ListDevices(a, b, flags); }
    FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override {
        const FT_STATUS status = inner_.FT_OpenEx(arg, flags, handle);
        if (status == FT_OK) calls.push_back({clock_.now(), 'O', {}});
        return status;
    }
    FT_STATUS FT_SetChars(FT_HANDLE h, unsigned char a, unsigned char b, unsigned char c, unsigned char d) override {
        return inner_.FT_SetChars(h, a, b, c, d);
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE h, uint32_t r, uint32_t w) override { return inner_.FT_SetTimeouts(h, r, w); }
    FT_STATUS FT_GetStatus(FT_HANDLE h, uint32_t* rx, uint32_t* tx, uint32_t* ev) override {
        return inner_.FT_GetStatus(h, rx, tx, ev);
    }
    FT_STATUS FT_Read(FT_HANDLE h, void* buffer, uint32_t size, uint32_t* got) override {
        return inner_.FT_Read(h, buffer, size, got);
    }
    FT_STATUS FT_Write(FT_HANDLE h, const void* buffer, uint32_t size, uint32_t* written) override {
        calls.push_back({clock_.now(), 'W', std::string(static_cast<const char*>(buffer), size)});
        return inner_.FT_Write(h, buffer, size, written);
    }
    FT_STATUS FT_Close(FT_HANDLE h) override {
        calls.push_back({clock_.now(), 'C', {}});
        return inner_.FT_Close(h);
    }

private:
    FtDriver& inner_;
    VirtualClock& clock_;
};

// Forwards to the canvas and notes every text drawn on the status line (10, 10), in UTF-8.
class StatusLineRecorder : public TextSurface {
public:
    struct Draw {
        int64_t at;
        std::string text;
    };

    StatusLineRecorder(TextSurface& inner, VirtualClock& clock) : inner_(inner), clock_(clock) {}
    std::vector<Draw> draws;

    void openContext(int colour) override { inner_.openContext(colour); }
    void closeContext() override { inner_.closeContext(); }
    bool drawText(int x, int y, const char* bytes, int length) override {
        if (x == 10 && y == 10) draws.push_back({clock_.now(), cp932ToUtf8(bytes, static_cast<size_t>(length))});
        return inner_.drawText(x, y, bytes, length);
    }
    void resizeWindow(int width, int height) override { inner_.resizeWindow(width, height); }

private:
    TextSurface& inner_;
    VirtualClock& clock_;
};

class RecordingObserver : public RunObserver {
public:
    struct Error {
        int64_t at;
        ErrorStop stop;
    };
    explicit RecordingObserver(VirtualClock& clock) : clock_(clock) {}

    void linkOpened(int result) override { (result > 0 ? opened : openFailures) += 1; }
    void errorStopped(ErrorStop stop, int32_t /*line*/) override { errors.push_back({clock_.now(), stop}); }
    void modeFileWritten(const char* bytes, size_t size) override { modeFiles.emplace_back(bytes, size); }

    int opened = 0;
    int openFailures = 0;
    std::vector<Error> errors;
    std::vector<std::string> modeFiles;

private:
    VirtualClock& clock_;
};

class HeadlessTest : public ::testing::Test {
protected:
    void writeFile(const char* name, const std::string& bytes) { kt57::support::writeFile(scratch.file(name), bytes); }
    std::string readFile(const char* name) { return kt57::support::readFile(scratch.file(name)); }
    void writeProgram(const std::string& text) { writeFile("KT57Data.txt", text); }
    void writeMode(const std::string& text) { writeFile("KT57Mode.txt", text); }

    // A run on the directory with every recorder in place; not started.
    HeadlessRun& makeRun() {
        run = std::make_unique<HeadlessRun>(HeadlessOptions{directory.string(), "VB000001"});
        driver = std::make_unique<RecordingDriver>(run->board(), run->clock());
        screen = std::make_unique<StatusLineRecorder>(run->canvas(), run->clock());
        observer = std::make_unique<RecordingObserver>(run->clock());
        run->useDriver(*driver);
        run->useSurface(*screen);
        run->setObserver(observer.get());
        return *run;
    }
    HeadlessRun& startRun() {
        makeRun();
        EXPECT_EQ(run->start(), 1);
        return *run;
    }

    RunControl& control() { return run->sequencer().run; }
    MachineState& machine() { return run->sequencer().machine; }
    int32_t lineCount() { return run->sequencer().program.lineCount; }
    void key(uint32_t code) { run->post(HeadlessEvent::key(run->now(), code)); }
    // Posts the event now and delivers it and everything else due up to `ms` later.
    void keyThenRun(uint32_t code, int64_t ms) {
        key(code);
        run->runUntil(run->now() + ms);
    }

    const kt57::support::ScratchDirectory scratch{"kt57-headless"};
    const std::filesystem::path directory{scratch.path()};
    std::unique_ptr<HeadlessRun> run;
    std::unique_ptr<RecordingDriver> driver;
    std::unique_ptr<StatusLineRecorder> screen;
    std::unique_ptr<RecordingObserver> observer;
};

}  // namespace kt57::test

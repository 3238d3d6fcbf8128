// kt57-run's trace: one line per event, "<ms> <what>", written by wrappers around the driver and
// the surface and by a run observer. The line formats are documented in docs/kt57-run.md.
#pragma once
#include <cstdio>
#include <string>

#include "console/text_canvas.h"
#include "device/ft_driver.h"
#include "platform/headless/virtual_clock.h"
#include "engine/run_observer.h"
#include "engine/sequencer.h"

namespace kt57 {

// Bytes 0x20-0x7E as themselves except the backslash; every other byte as \xHH.
std::string formatFrame(const char* bytes, size_t size);
// "state next=N current=N ... link=N", without the time.
std::string formatState(const Sequencer& sequencer);

class TraceWriter {
public:
    TraceWriter(std::FILE* out, VirtualClock& clock) : out_(out), clock_(clock) {}
    void line(const std::string& what);
    // "screen" and then each canvas row indented by two blanks.
    void screen(const TextCanvas& canvas);

private:
    std::FILE* out_;
    VirtualClock& clock_;
};

// send, send-failed, recv and close, around the real driver.
class TracingDriver : public FtDriver {
public:
    TracingDriver(FtDriver& inner, TraceWriter& trace) : inner_(inner), trace_(trace) {}

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override;
    FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override;
    FT_STATUS FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled,
                          unsigned char errorChar, unsigned char errorCharEnabled) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) override;
    FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) override;
    FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) override;
    FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) override;
    FT_STATUS FT_Close(FT_HANDLE handle) override;

private:
    FtDriver& inner_;
    TraceWriter& trace_;
};

// resize, around the canvas.
class TracingSurface : public TextSurface {
public:
    TracingSurface(TextSurface& inner, TraceWriter& trace) : inner_(inner), trace_(trace) {}

    void openContext(int colourIndex) override { inner_.openContext(colourIndex); }
    void closeContext() override { inner_.closeContext(); }
    bool drawText(int x, int y, const char* bytes, int length) override { return inner_.drawText(x, y, bytes, length); }
    void resizeWindow(int width, int height) override;

private:
    TextSurface& inner_;
    TraceWriter& trace_;
};

// open, open-failed, error and mode-file; with errorLines, error-line after each error.
class TracingObserver : public RunObserver {
public:
    explicit TracingObserver(TraceWriter& trace, bool errorLines = false) : trace_(trace), errorLines_(errorLines) {}

    void linkOpened(int result) override;
    void errorStopped(ErrorStop stop, int32_t line) override;
    void modeFileWritten(const char* bytes, size_t size) override;

private:
    TraceWriter& trace_;
    bool errorLines_;  // --error-lines: a line kind of its own, so the trace without it stays as it was
};

}  // namespace kt57

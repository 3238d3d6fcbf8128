// kt57-run's trace lines.
#include "tools/kt57-run/run_trace.h"

#include <cinttypes>

#include "device/byte_escapes.h"
#include "engine/state_line.h"
#include "sequencer/run_control.h"

namespace kt57 {

std::string formatFrame(const char* bytes, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        char piece[escapedByteLength];
        text.append(piece, escapeByte(static_cast<unsigned char>(bytes[i]), piece));
    }
    return text;
}

std::string formatState(const Sequencer& sequencer) {
    char text[stateLineCapacity];
    return std::string(text, static_cast<size_t>(formatStateLine(sequencer, text)));
}

void TraceWriter::line(const std::string& what) {
    std::fprintf(out_, "%" PRId64 " %s\n", clock_.now(), what.c_str());
}

void TraceWriter::screen(const TextCanvas& canvas) {
    line("screen");
    const std::string rows = canvas.render();
    size_t start = 0;
    while (start < rows.size()) {
        size_t end = rows.find('\n', start);
        if (end == std::string::npos) end = rows.size();
        std::fprintf(out_, "  %s\n", rows.substr(start, end - start).c_str());
        start = end + 1;
    }
}

FT_STATUS TracingDriver::FT_ListDevices(void* arg1, void* arg2, uint32_t flags) {
    return inner_.FT_ListDevices(arg1, arg2, flags);
}
FT_STATUS TracingDriver::FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
    return inner_.FT_OpenEx(arg, flags, handle);
}
FT_STATUS TracingDriver::FT_SetChars(FT_HANDLE handle, unsigned char eventChar, unsigned char eventCharEnabled,
                                     unsigned char errorChar, unsigned char errorCharEnabled) {
    return inner_.FT_SetChars(handle, eventChar, eventCharEnabled, errorChar, errorCharEnabled);
}
FT_STATUS TracingDriver::FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout) {
    return inner_.FT_SetTimeouts(handle, readTimeout, writeTimeout);
}
FT_STATUS TracingDriver::FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* eventStatus) {
    return inner_.FT_GetStatus(handle, rxBytes, txBytes, eventStatus);
}

FT_STATUS TracingDriver::FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) {
    const FT_STATUS status = inner_.FT_Read(handle, buffer, bytesToRead, bytesReturned);
    if (status == FT_OK && bytesReturned != nullptr && *bytesReturned > 0) {
        trace_.line("recv " + formatFrame(static_cast<const char*>(buffer), *bytesReturned));
    }
    return status;
}

FT_STATUS TracingDriver::FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite,
                                  uint32_t* bytesWritten) {
    const FT_STATUS status = inner_.FT_Write(handle, buffer, bytesToWrite, bytesWritten);
    const std::string frame = formatFrame(static_cast<const char*>(buffer), bytesToWrite);
    trace_.line((status == FT_OK ? "send " : "send-failed ") + frame);
    return status;
}

FT_STATUS TracingDriver::FT_Close(FT_HANDLE handle) {
    trace_.line("close");
    return inner_.FT_Close(handle);
}

void TracingSurface::resizeWindow(int width, int height) {
    trace_.line("resize " + std::to_string(width) + " " + std::to_string(height));
    inner_.resizeWindow(width, height);
}

void TracingObserver::linkOpened(int result) { trace_.line(result > 0 ? "open" : "open-failed"); }

void TracingObserver::errorStopped(ErrorStop stop, int32_t line) {
    trace_.line(std::string("error ") + errorStopName(stop));
    if (errorLines_) trace_.line("error-line " + std::to_string(shownLineNumber(line)));
}

void TracingObserver::modeFileWritten(const char* bytes, size_t size) {
    trace_.line("mode-file " + formatFrame(bytes, size));
}

}  // namespace kt57

/* frame_clock: an LD_PRELOAD library that stamps kt57d's traffic with its board, so the
 * real-time benchmarks can time ticks, frames and sleeps inside the process rather than from
 * the board's millisecond log. It writes one line per event to the file named by
 * KT57_FRAME_CLOCK, with CLOCK_MONOTONIC nanoseconds:
 *   S <ns>                 the library was loaded (the process has started)
 *   P <ns>                 FIONREAD on a terminal: the link polls for a reply, once per tick
 *   W <ns> <bytes>         a 9-byte frame ending in CR written to a terminal
 *   R <ns> <count>         bytes read from a terminal
 *   Z <ns> <ms>            a sleep of at least a millisecond ended (start-up's waits, releases)
 * Nothing else about the program changes; without KT57_FRAME_CLOCK it records nothing. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

static int logDescriptor = -1;

static long long nowNanoseconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

/* Raw system call: the library's own write must not come back through its wrapper. */
static void record(const char* line, int length) {
    if (logDescriptor >= 0 && length > 0) syscall(SYS_write, logDescriptor, line, (size_t)length);
}

__attribute__((constructor)) static void openFrameClock(void) {
    const char* path = getenv("KT57_FRAME_CLOCK");
    if (path == NULL || path[0] == '\0') return;
    logDescriptor = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    char line[64];
    record(line, snprintf(line, sizeof line, "S %lld\n", nowNanoseconds()));
}

ssize_t write(int fd, const void* buffer, size_t count) {
    static ssize_t (*realWrite)(int, const void*, size_t);
    if (realWrite == NULL) realWrite = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    const long long at = nowNanoseconds();
    const ssize_t written = realWrite(fd, buffer, count);
    const char* bytes = (const char*)buffer;
    if (logDescriptor >= 0 && count == 9 && written == 9 && bytes[8] == '\r' && isatty(fd)) {
        char line[64];
        record(line, snprintf(line, sizeof line, "W %lld %.8s\n", at, bytes));
    }
    return written;
}

ssize_t read(int fd, void* buffer, size_t count) {
    static ssize_t (*realRead)(int, void*, size_t);
    if (realRead == NULL) realRead = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    const ssize_t got = realRead(fd, buffer, count);
    if (logDescriptor >= 0 && got > 0 && count <= 64 && isatty(fd)) {
        char line[64];
        record(line, snprintf(line, sizeof line, "R %lld %zd\n", nowNanoseconds(), got));
    }
    return got;
}

int ioctl(int fd, unsigned long request, ...) {
    static int (*realIoctl)(int, unsigned long, ...);
    if (realIoctl == NULL) realIoctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (logDescriptor >= 0 && request == FIONREAD && isatty(fd)) {
        char line[64];
        record(line, snprintf(line, sizeof line, "P %lld\n", nowNanoseconds()));
    }
    return realIoctl(fd, request, argument);
}

int clock_nanosleep(clockid_t clock, int flags, const struct timespec* request, struct timespec* remain) {
    static int (*realSleep)(clockid_t, int, const struct timespec*, struct timespec*);
    if (realSleep == NULL) {
        realSleep = (int (*)(clockid_t, int, const struct timespec*, struct timespec*))dlsym(RTLD_NEXT,
                                                                                              "clock_nanosleep");
    }
    const int result = realSleep(clock, flags, request, remain);
    const long long requested = (long long)request->tv_sec * 1000 + request->tv_nsec / 1000000;
    if (logDescriptor >= 0 && flags == 0 && requested >= 1) {
        char line[64];
        record(line, snprintf(line, sizeof line, "Z %lld %lld\n", nowNanoseconds(), requested));
    }
    return result;
}

int nanosleep(const struct timespec* request, struct timespec* remain) {
    static int (*realSleep)(const struct timespec*, struct timespec*);
    if (realSleep == NULL) realSleep = (int (*)(const struct timespec*, struct timespec*))dlsym(RTLD_NEXT, "nanosleep");
    const int result = realSleep(request, remain);
    const long long requested = (long long)request->tv_sec * 1000 + request->tv_nsec / 1000000;
    if (logDescriptor >= 0 && requested >= 1) {
        char line[64];
        record(line, snprintf(line, sizeof line, "Z %lld %lld\n", nowNanoseconds(), requested));
    }
    return result;
}

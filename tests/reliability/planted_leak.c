/* A leak to plant in kt57d, to show that the desktop soak's memory verdict catches one: preloaded
 * into kt57d only (SOAK_PLANT_LEAK=1 scripts/soak-desktop.sh), never linked into anything.
 *
 * kt57d's main thread waits in poll() between events, so the leak rides on that: each time the
 * main thread enters poll, the blocks owed for the time since the last one are allocated, written
 * to (so their pages are resident) and dropped. The blocks are small, as most real leaks are, so
 * they come from the main thread's heap among kt57d's own allocations. KT57_PLANTED_LEAK_KIB sets
 * the rate in KiB a second (default 4). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { block_bytes = 256 };

typedef int (*poll_function)(struct pollfd*, nfds_t, int);

static double owed_bytes;
static double bytes_per_second = -1;
static struct timespec last_time;
/* Kept reachable only through this chain's head until the next block replaces it, so the
 * compiler cannot drop the allocations; nothing ever frees them. */
static void* volatile last_block;

static double seconds_between(const struct timespec* from, const struct timespec* to) {
    return (double)(to->tv_sec - from->tv_sec) + (double)(to->tv_nsec - from->tv_nsec) / 1e9;
}

static void leak_what_is_owed(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (bytes_per_second < 0) {
        const char* rate = getenv("KT57_PLANTED_LEAK_KIB");
        bytes_per_second = (rate != NULL && *rate != '\0' ? atof(rate) : 4.0) * 1024.0;
        last_time = now;
        return;
    }
    owed_bytes += seconds_between(&last_time, &now) * bytes_per_second;
    last_time = now;
    while (owed_bytes >= block_bytes) {
        char* block = malloc(block_bytes);
        if (block == NULL) return;
        memset(block, 0xA5, block_bytes);
        last_block = block;
        owed_bytes -= block_bytes;
    }
}

int poll(struct pollfd* fds, nfds_t count, int timeout) {
    static poll_function real_poll;
    if (real_poll == NULL) real_poll = (poll_function)dlsym(RTLD_NEXT, "poll");
    if (gettid() == getpid()) leak_what_is_owed();
    return real_poll(fds, count, timeout);
}

/* A host that loads libtarvic, prices once on several threads and unloads it,
 * over and over, as plug-in hosts and foreign-function layers do.
 *
 *     unload_cycles LIBRARY CYCLES PAUSE_MS
 *
 * Each cycle opens LIBRARY, prices a European call by simulation with
 * multiThreaded set (the thread count comes from OMP_NUM_THREADS), closes
 * the library, waits PAUSE_MS milliseconds and reads the process's thread
 * count from /proc/self/status. Prints a line for each cycle as it ends,
 *
 *     cycle K threads T
 *
 * and, at the end, one line of totals:
 *
 *     before B first F most M cycles C
 *
 * (threads before the first load, after the first cycle, the most after any
 * cycle, cycles run). Exit status 0 when every call priced, 1 when a
 * call failed, 2 for a load or symbol failure, 3 for bad arguments; a run
 * that hangs ends by SIGALRM after ten minutes. */
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "tarvic/tarvic.h"

typedef __typeof__(VelkOptionPricerMC) PricerFunction;
typedef __typeof__(tvStringByteLen) LengthFunction;
typedef __typeof__(tvFreeString) FreeFunction;

enum { kRows = 512 };

static int threadCount(void)
{
    FILE* status = fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    int threads = -1;
    while (fgets(line, sizeof line, status))
        if (strncmp(line, "Threads:", 8) == 0) {
            threads = atoi(line + 8);
            break;
        }
    fclose(status);
    return threads;
}

static void sleepMilliseconds(long milliseconds)
{
    struct timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

/* One load, call and unload; 0 when the call priced. */
static int cycle(const char* path)
{
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        return 2;
    }
    /* POSIX lets a symbol's address pass through void*; ISO C has no cast
     * between the two pointer kinds, so the bytes are copied. */
    PricerFunction* price = NULL;
    LengthFunction* length = NULL;
    FreeFunction* release = NULL;
    void* found = dlsym(library, "VelkOptionPricerMC");
    memcpy(&price, &found, sizeof found);
    found = dlsym(library, "tvStringByteLen");
    memcpy(&length, &found, sizeof found);
    found = dlsym(library, "tvFreeString");
    memcpy(&release, &found, sizeof found);
    if (!price || !length || !release) {
        fprintf(stderr, "dlsym: %s\n", dlerror());
        dlclose(library);
        return 2;
    }
    static double value[kRows];
    int32_t rows = 0;
    /* 100 000 pseudo-random paths of 10 exact steps, no sensitivities:
     * enough work for every slot to run on a thread of its own. */
    TvString text = price(value, NULL, NULL, NULL, NULL, &rows, 100.0, 100.0, 0.0, 0.0, 1.0, 0.25,
                          0.05, 0.02, 10, 0, 0, 1, 0, 100, 10, 3, 0, 0, 1, 0, 0, 0, 0, 1, 0);
    const int priced = text && length(text) == 0 && rows > 0 && rows <= kRows;
    if (!priced)
        fprintf(stderr, "call failed: %.*s\n", text ? (int)length(text) : 9, text ? text : "(no text)");
    release(text);
    if (dlclose(library) != 0) {
        fprintf(stderr, "dlclose: %s\n", dlerror());
        return 2;
    }
    return priced ? 0 : 1;
}

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: unload_cycles LIBRARY CYCLES PAUSE_MS\n");
        return 3;
    }
    const long cycles = strtol(argv[2], NULL, 10);
    const long pauseMs = strtol(argv[3], NULL, 10);
    if (cycles < 1 || pauseMs < 0 || pauseMs > 10000) {
        fprintf(stderr, "unload_cycles: CYCLES must be at least 1 and PAUSE_MS 0 .. 10000\n");
        return 3;
    }
    alarm(600);
    const int before = threadCount();
    int first = -1, most = -1;
    long done = 0;
    int result = 0;
    for (; done < cycles && result == 0; ++done) {
        result = cycle(argv[1]);
        if (pauseMs > 0)
            sleepMilliseconds(pauseMs);
        const int threads = threadCount();
        printf("cycle %ld threads %d\n", done + 1, threads);
        fflush(stdout);
        if (done == 0)
            first = threads;
        if (threads > most)
            most = threads;
    }
    printf("before %d first %d most %d cycles %ld\n", before, first, most, done);
    fflush(stdout);
    return result;
}

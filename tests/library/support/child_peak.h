#pragma once

// Runs part of a test in a child process, on one OpenMP thread, and
// measures it there: how long
// it took, the peak of resident memory it added to the child (the kernel's
// high-water mark, reset at the start), and the text it returned, handed
// back through a pipe. Optionally the child's address space leaves only a
// given room beyond what it maps already (not under the address sanitizer,
// whose shadow memory needs the address space).

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include <malloc.h>
#include <omp.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/address_space_room.h"

#if defined(__SANITIZE_THREAD__)
#define TARVIC_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TARVIC_THREAD_SANITIZER 1
#endif
#endif

namespace tarvic_test {

struct ChildMeasure {
    bool finished = false;  // the child ran body and ended normally
    double peakBytes = 0.0;  // resident memory at its peak less that at the start
    std::string text;
};

// The value of a "Key:   123 kB" line of /proc/self/status, in bytes; -1
// when there is none.
inline double statusBytes(const char* key)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1.0;
    char line[256];
    double bytes = -1.0;
    const size_t length = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, length) == 0 && line[length] == ':') {
            bytes = std::strtod(line + length + 1, nullptr) * 1024.0;
            break;
        }
    std::fclose(f);
    return bytes;
}

// Sets the high-water mark of resident memory back to what is resident now.
inline bool resetResidentPeak()
{
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f)
        return false;
    const bool written = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && written;
}

// prepare runs first (not measured: threads started, files read once), then
// body, measured. room 0: no address-space limit.
inline ChildMeasure measureInChild(const std::function<std::string()>& body,
                                   const std::function<void()>& prepare = {}, std::size_t room = 0)
{
    ChildMeasure m;
    int channel[2];
    if (pipe(channel) != 0)
        return m;
    const pid_t child = fork();
    if (child < 0)
        return m;
    if (child == 0) {
        close(channel[0]);
        // The child has none of the parent's OpenMP workers: a team of more
        // than one thread would wait for them for ever.
        omp_set_num_threads(1);
        if (prepare)
            prepare();
        // What earlier tests freed goes back to the system, and large blocks
        // come from the system, so that what the body holds shows as
        // resident memory whatever ran before it.
        malloc_trim(0);
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        if (room > 0) {
            long pages = 0, resident = 0;
            if (FILE* f = std::fopen("/proc/self/statm", "r")) {
                if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
                    pages = 0;
                std::fclose(f);
            }
            const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + room;
            rlimit cap{limit, limit};
            if (setrlimit(RLIMIT_AS, &cap) != 0)
                _exit(100);
        }
        const bool reset = resetResidentPeak();
        const double start = reset ? statusBytes("VmRSS") : statusBytes("VmHWM");
        const std::string text = body();
        const double peak = statusBytes("VmHWM") - start;
        char head[64];
        const int n = std::snprintf(head, sizeof head, "%.0f\n", peak);
        const std::string message = std::string(head, static_cast<size_t>(n)) + text;
        size_t sent = 0;
        while (sent < message.size()) {
            const ssize_t w = write(channel[1], message.data() + sent, message.size() - sent);
            if (w <= 0)
                break;
            sent += static_cast<size_t>(w);
        }
        close(channel[1]);
        _exit(0);
    }
    close(channel[1]);
    std::string received;
    char buffer[4096];
    for (;;) {
        const ssize_t r = read(channel[0], buffer, sizeof buffer);
        if (r <= 0)
            break;
        received.append(buffer, static_cast<size_t>(r));
    }
    close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return m;
    const size_t end = received.find('\n');
    if (end == std::string::npos || std::sscanf(received.c_str(), "%lf", &m.peakBytes) != 1)
        return m;
    m.text = received.substr(end + 1);
    m.finished = true;
    return m;
}

}  // namespace tarvic_test

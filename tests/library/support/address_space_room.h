#pragma once

// Runs part of a test in a child process whose address space leaves only a
// given room beyond what it maps already: large allocations fail there, as
// on a machine without the memory, and the kernel's limits read back as
// tight. Not under the address sanitizer, whose shadow memory needs the
// address space (TARVIC_ADDRESS_SANITIZER says so).

#include <cstddef>
#include <cstdio>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define TARVIC_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVIC_ADDRESS_SANITIZER 1
#endif
#endif

namespace tarvic_test {

// Exit status of the child: what body returned (0..99 by convention), 100
// when the limit could not be set, -1 when the child ended by a signal or
// could not be started.
inline int inChildWithAddressSpaceRoom(std::size_t room, const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        long pages = 0, resident = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
                pages = 0;
            std::fclose(f);
        }
        const rlim_t limit =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + room;
        rlimit cap{limit, limit};
        if (setrlimit(RLIMIT_AS, &cap) != 0)
            _exit(100);
        _exit(body());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

}  // namespace tarvic_test

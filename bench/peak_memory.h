#pragma once

// The peak resident memory of the benchmark process.

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarvic_bench {

// VmHWM of /proc/self/status in MB (-1 when it cannot be read).
inline double peakResidentMB()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1.0;
    char line[256];
    double kB = -1.0;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kB = std::atof(line + 6);
    std::fclose(f);
    return kB / 1024.0;
}

}  // namespace tarvic_bench

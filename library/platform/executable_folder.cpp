#include "platform/executable_folder.h"

#include <stdexcept>
#include <vector>

#include <unistd.h>

namespace tarvic {

std::string executableFolder()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            throw std::runtime_error("Cannot locate the folder of the running program.");
        if (static_cast<size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(length));
            const std::string::size_type slash = path.rfind('/');
            return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
        }
        if (buffer.size() > (1u << 20))
            throw std::runtime_error("Cannot locate the folder of the running program.");
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace tarvic

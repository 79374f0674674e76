#include "platform/data_files.h"

#include <climits>
#include <cstdlib>
#include <vector>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

// Set by the build: the installed data folder relative to the installed
// library's folder, and as an absolute path.
#ifndef TARVIC_DATA_FROM_LIBRARY
#define TARVIC_DATA_FROM_LIBRARY "../share/tarvic"
#endif
#ifndef TARVIC_INSTALL_DATA_DIR
#define TARVIC_INSTALL_DATA_DIR "/usr/local/share/tarvic"
#endif

namespace tarvic {

namespace {

std::string folderOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string withSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

bool isFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string libraryFolder()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&libraryFolder), &info) == 0 || !info.dli_fname ||
        !*info.dli_fname)
        return std::string();
    char resolved[PATH_MAX];
    if (!::realpath(info.dli_fname, resolved))
        return std::string();
    return folderOf(resolved);
}

std::string executableFolder()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return std::string();
        if (static_cast<size_t>(length) < buffer.size())
            return folderOf(std::string(buffer.data(), static_cast<size_t>(length)));
        if (buffer.size() > (1u << 20))
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::string> dataFolders()
{
    std::vector<std::string> folders;
    const std::string library = libraryFolder();
    if (!library.empty())
        folders.push_back(library);
    const std::string executable = executableFolder();
    if (!executable.empty() && executable != library)
        folders.push_back(executable);
    if (!library.empty())
        folders.push_back(withSlash(library + TARVIC_DATA_FROM_LIBRARY));
    folders.push_back(withSlash(TARVIC_INSTALL_DATA_DIR));
    return folders;
}

std::string findDataFile(const std::string& name)
{
    for (const std::string& folder : dataFolders()) {
        const std::string path = folder + name;
        if (isFile(path))
            return path;
    }
    return std::string();
}

}  // namespace tarvic

#include "core/long_path_posix.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Closes `fd` without disturbing errno, which may hold the reason of the failure at hand.
void CloseKeepingErrno(int fd) {
    int saved = errno;
    close(fd);
    errno = saved;
}

} // namespace

int OpenAnyLength(const std::string& path, int flags) {
    int fd = open(path.c_str(), flags);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;
    // The parts of the path as separate texts: every '/' becomes a NUL.
    std::vector<char> parts(path.begin(), path.end());
    parts.push_back('\0');
    std::replace(parts.begin(), parts.end(), '/', '\0');
    std::vector<const char*> names;
    for (size_t at = 0; at + 1 < parts.size(); ++at)
        if (parts[at] != '\0' && (at == 0 || parts[at - 1] == '\0'))
            names.push_back(&parts[at]);
    if (names.empty())
        names.push_back(".");
    int folder = open(path.front() == '/' ? "/" : ".", kFolderFlags);
    for (size_t i = 0; i < names.size() && folder >= 0; ++i) {
        // The last part is opened as asked; every one before it is a folder on the way.
        bool last = i + 1 == names.size();
        int next = openat(folder, names[i], last ? flags : kFolderFlags);
        CloseKeepingErrno(folder);
        if (last)
            return next;
        folder = next;
    }
    return -1;
}

int StatAnyLength(const std::string& path, struct stat& information) {
    if (stat(path.c_str(), &information) == 0)
        return 0;
    if (errno != ENAMETOOLONG)
        return -1;
    // The name's folder is opened a step at a time, and the name asked of it.
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == path.size())
        return -1; // too long a single name, or a folder's: the error stays ENAMETOOLONG
    int folder = OpenAnyLength(path.substr(0, slash == 0 ? 1 : slash), kFolderFlags);
    if (folder < 0)
        return -1;
    int result = fstatat(folder, path.c_str() + slash + 1, &information, 0);
    CloseKeepingErrno(folder);
    return result;
}

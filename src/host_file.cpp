#include "host_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int host_open_regular(const char* name, int flags, bool* not_regular)
{
    if (not_regular) *not_regular = false;
    // Looked at before opening, so that no device is opened at all (some act
    // on open); checked again on the descriptor in case the name was swapped.
    struct stat st;
    if (::stat(name, &st) == 0 && !S_ISREG(st.st_mode)) {
        if (not_regular) *not_regular = true;
        errno = EINVAL;
        return -1;
    }
    const int fd = ::open(name, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (not_regular) *not_regular = true;
        errno = EINVAL;
        return -1;
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl != -1) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

std::FILE* host_fopen_regular(const char* name, bool* not_regular)
{
    const int fd = host_open_regular(name, O_RDONLY, not_regular);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) ::close(fd);
    return f;
}

int host_open_image(const char* name, bool* in_use)
{
    *in_use = false;
    const int fd = host_open_regular(name, O_RDWR);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) return fd;
    ::close(fd);
    *in_use = true;
    return host_open_regular(name, O_RDONLY);
}

int32_t host_file_length(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size < 0) return 0;
    return st.st_size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(st.st_size);
}

void host_remove_if_empty(int fd, const char* name)
{
    struct stat open_st, name_st;
    if (::fstat(fd, &open_st) != 0 || !S_ISREG(open_st.st_mode) || open_st.st_size != 0) return;
    if (::stat(name, &name_st) != 0 || name_st.st_dev != open_st.st_dev || name_st.st_ino != open_st.st_ino) return;
    ::unlink(name);
}

// Opening the host files a user hands the program. Only regular files are
// taken: a FIFO would block the open (or the first read) for ever, a device
// like /dev/zero never ends, and a folder cannot be read as a file.
#pragma once
#include <cstdint>
#include <cstdio>

// open(2) with flags (O_CREAT is not used here), refusing anything that is not
// a regular file without blocking on it. Returns a blocking, close-on-exec
// descriptor, or -1; *not_regular (when given) tells a refused file from one
// that could not be opened at all.
int host_open_regular(const char* name, int flags, bool* not_regular = nullptr);

// The same for reading through a binary stream.
std::FILE* host_fopen_regular(const char* name, bool* not_regular = nullptr);

// Opens an image (disk or hard-disk unit) for reading and writing and takes an
// exclusive lock on it, so that two processes never write one image. When
// another process holds the lock, the image is opened read-only instead and
// *in_use is set. A filesystem that cannot lock at all mounts as before.
int host_open_image(const char* name, bool* in_use);

// Length of the open file, 0 when it cannot be measured, INT32_MAX at most.
int32_t host_file_length(int fd);

// Deletes name when the open descriptor fd is an empty regular file and the
// name still leads to that very file. Called before fd is closed, so that a
// lock held on fd still keeps other processes off the file.
void host_remove_if_empty(int fd, const char* name);

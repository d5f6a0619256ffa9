// Opening the host files a user hands the program. Only regular files are
// taken: a FIFO would block the open (or the first read) for ever, a device
// like /dev/zero never ends, and a folder cannot be read as a file.
#pragma once
#include <cstdio>

// open(2) with flags (O_CREAT is not used here), refusing anything that is not
// a regular file without blocking on it. Returns a blocking, close-on-exec
// descriptor, or -1; *not_regular (when given) tells a refused file from one
// that could not be opened at all.
int host_open_regular(const char* name, int flags, bool* not_regular = nullptr);

// The same for reading through a binary stream.
std::FILE* host_fopen_regular(const char* name, bool* not_regular = nullptr);

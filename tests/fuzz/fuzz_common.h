// Shared set-up for the fuzz targets: a private working directory and a
// fresh machine for every input.
#pragma once
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include "machine.h"

inline void fuzz_enter_tempdir()
{
    static bool done = false;
    if (done) return;
    done = true;
    char tmpl[] = "/tmp/kalvoran-fuzz-XXXXXX";
    if (!::mkdtemp(tmpl) || ::chdir(tmpl) != 0) std::abort();
}

inline void fuzz_fresh_machine()
{
    static const MachineState fresh{};
    machine = fresh;
}

inline void fuzz_write(const char* name, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(name, "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

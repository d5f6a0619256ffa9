// Shared set-up for the fuzz targets: a private working directory (the code
// under test names its files relative to it) and a fresh machine per input.
#pragma once
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include "machine.h"

namespace fuzz_detail {

inline std::string absolute(const std::string& cwd, const char* path)
{
    return path[0] == '/' ? std::string(path) : cwd + "/" + path;
}

inline char* keep(const std::string& s) { return ::strdup(s.c_str()); }

} // namespace fuzz_detail

// libFuzzer reads its corpus folders, crash files and artifact prefix after
// this runs, so every relative path is made absolute before the working
// directory moves to a scratch folder. Without a prefix of its own, findings
// land in the directory the fuzzer was started from.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    char buf[4096];
    if (!::getcwd(buf, sizeof buf)) std::abort();
    const std::string cwd = buf;
    static const char* const path_flags[] = {"-artifact_prefix=", "-exact_artifact_path=", "-dict=",
                                             "-merge_control_file=", "-features_dir="};
    char** out = static_cast<char**>(std::calloc(static_cast<size_t>(*argc) + 2, sizeof(char*)));
    int n = 0;
    bool has_prefix = false;
    for (int i = 0; i < *argc; ++i) {
        const char* a = (*argv)[i];
        if (i == 0) {
            out[n++] = (*argv)[i];
            continue;
        }
        if (a[0] != '-') {
            out[n++] = fuzz_detail::keep(fuzz_detail::absolute(cwd, a));
            continue;
        }
        bool done = false;
        for (const char* flag : path_flags) {
            const size_t len = std::strlen(flag);
            if (std::strncmp(a, flag, len) == 0 && a[len] != '\0') {
                has_prefix |= std::strcmp(flag, "-artifact_prefix=") == 0;
                out[n++] = fuzz_detail::keep(flag + fuzz_detail::absolute(cwd, a + len));
                done = true;
                break;
            }
        }
        if (!done) out[n++] = (*argv)[i];
    }
    if (!has_prefix) out[n++] = fuzz_detail::keep("-artifact_prefix=" + cwd + "/");
    out[n] = nullptr;
    *argc = n;
    *argv = out;

    // ROMs only from the scratch folder, never the installed data folder.
    ::setenv("KALVORAN_DATADIR", "", 1);
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    char tmpl[] = "/tmp/kalvoran-fuzz-XXXXXX";
    if (!::mkdtemp(tmpl) || ::chdir(tmpl) != 0) std::abort();
    static std::string scratch;
    scratch = tmpl;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(scratch, ec);
    });
    return 0;
}

// Unpaced: a fuzz run never waits for the host clock.
inline void fuzz_fresh_machine()
{
    static const MachineState fresh{};
    machine = fresh;
    machine.cpu.speed_unlimited = 1;
}

inline void fuzz_write(const char* name, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(name, "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

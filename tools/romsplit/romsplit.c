/* romsplit: cuts a 12 KB apple.rom ($D000-$FFFF) into msbasic.rom ($D000-$F7FF)
 * and monitor.rom ($F800-$FFFF) in the working directory. Both outputs are
 * written under temporary names beside the files they name (symlinks are
 * followed) and renamed only when both are complete, so a failure leaves any
 * existing msbasic.rom and monitor.rom as they were. Where a folder cannot
 * take a temporary file, an existing output is written in place instead. */
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define SOURCE_SIZE 12288L
#define BASIC_SIZE 10240L
#define MONITOR_SIZE (SOURCE_SIZE - BASIC_SIZE)
#define MAX_LINKS 40

struct target {
    const char *name;
    char *path;      /* name with symlinks followed */
    char *temp_name; /* NULL when written in place */
    FILE *out;
};

static FILE *source;
static struct target basic = {"msbasic.rom", NULL, NULL, NULL};
static struct target monitor = {"monitor.rom", NULL, NULL, NULL};

static void discard(struct target *t)
{
    if (t->out) {
        fclose(t->out);
        t->out = NULL;
    }
    if (t->temp_name) {
        remove(t->temp_name);
        free(t->temp_name);
        t->temp_name = NULL;
    }
}

/* Reports like perror, drops every temporary file and ends. */
static void fail(const char *what)
{
    perror(what);
    discard(&basic);
    discard(&monitor);
    if (source) fclose(source);
    exit(1);
}

/* "dir/" of path (empty for a bare name) followed by rest, newly allocated. */
static char *beside(const char *path, const char *rest)
{
    const char *slash = strrchr(path, '/');
    size_t dir = slash ? (size_t)(slash - path) + 1 : 0;
    char *s = malloc(dir + strlen(rest) + 1);
    if (!s) return NULL;
    memcpy(s, path, dir);
    strcpy(s + dir, rest);
    return s;
}

/* The file that name leads to through any chain of symlinks, even when the
 * last link points at nothing yet (the output is then created there). */
static char *follow_links(const char *name)
{
    char *path = strdup(name);
    for (int hops = 0; path && hops < MAX_LINKS; hops++) {
        struct stat st;
        if (lstat(path, &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char *to = malloc((size_t)st.st_size + 1);
        ssize_t n = to ? readlink(path, to, (size_t)st.st_size + 1) : -1;
        if (n < 0 || n > st.st_size) {
            free(to);
            free(path);
            errno = n < 0 ? errno : ENAMETOOLONG;
            return NULL;
        }
        to[n] = '\0';
        char *next = to[0] == '/' ? strdup(to) : beside(path, to);
        free(to);
        free(path);
        path = next;
    }
    if (path) {
        free(path);
        errno = ELOOP;
    }
    return NULL;
}

/* Checks that the output could take the bytes without touching an existing
 * file (append mode neither truncates nor writes), then creates a temporary
 * file beside it that no other file already uses; when its folder takes no
 * new file, opens the existing output to be written in place. */
static int open_target(struct target *t)
{
    t->path = follow_links(t->name);
    if (!t->path) return 0;
    struct stat st;
    const int exists = stat(t->path, &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        /* A folder, FIFO or device is no place for a ROM image. */
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return 0;
    }
    if (exists) {
        FILE *probe = fopen(t->path, "ab"); /* fails for a read-only file */
        if (!probe) return 0;
        fclose(probe);
    }
    int why = 0;
    for (int n = 0; n < 100; n++) {
        char suffix[16];
        snprintf(suffix, sizeof suffix, ".%d.tmp", n);
        t->temp_name = malloc(strlen(t->path) + sizeof suffix);
        if (!t->temp_name) return 0;
        strcpy(t->temp_name, t->path);
        strcat(t->temp_name, suffix);
        t->out = fopen(t->temp_name, "wbx");
        if (t->out) return 1;
        why = errno;
        free(t->temp_name);
        t->temp_name = NULL;
        if (why != EEXIST) break;
    }
    if (exists && why != EEXIST) {
        t->out = fopen(t->path, "r+b");
        if (t->out) return 1;
    }
    errno = why;
    return 0;
}

static int finish_target(struct target *t, const unsigned char *bytes, long size)
{
    int ok = fwrite(bytes, 1, (size_t)size, t->out) == (size_t)size;
    /* In place, a longer old file is cut to the new length. */
    if (!t->temp_name && (fflush(t->out) != 0 || ftruncate(fileno(t->out), (off_t)size) != 0)) ok = 0;
    if (fclose(t->out) != 0) ok = 0;
    t->out = NULL;
    return ok;
}

/* A finished temporary file takes the output's place; written in place,
 * there is nothing left to do. */
static void commit_target(struct target *t, const char *failure)
{
    if (!t->temp_name) return;
    if (rename(t->temp_name, t->path) != 0) fail(failure);
    free(t->temp_name);
    t->temp_name = NULL;
}

/* Only a regular file has a size to check: a FIFO would block the open, a
 * device never ends. Opened without waiting, and refused as the wrong size. */
static FILE *open_source(int *regular)
{
    *regular = 0;
    int fd = open("apple.rom", O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return NULL;
    struct stat st;
    *regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE *f = fdopen(fd, "rb");
    if (!f) close(fd);
    return f;
}

int main(void)
{
    static unsigned char image[SOURCE_SIZE];

    int regular;
    source = open_source(&regular);
    if (!source) fail("Cannot open apple.rom for reading");

    long here = ftell(source);
    long size = -1;
    if (regular && here >= 0 && fseek(source, 0, SEEK_END) == 0) size = ftell(source);
    if (size != SOURCE_SIZE || fseek(source, here, SEEK_SET) != 0) {
        fclose(source);
        fputs("File apple.rom is wrong size (must be 12288 bytes)\n", stderr);
        return 1;
    }
    fputs("Source file apple.rom opened\n", stdout);

    if (!open_target(&basic)) fail("Cannot open msbasic.rom for writing");
    fputs("Target file msbasic.rom opened\n", stdout);
    if (!open_target(&monitor)) fail("Cannot open monitor.rom for writing");
    fputs("Target file monitor.rom opened\n", stdout);

    if (fread(image, 1, SOURCE_SIZE, source) != SOURCE_SIZE) fail("Cannot read apple.rom");
    fclose(source);
    source = NULL;
    if (!finish_target(&basic, image, BASIC_SIZE)) fail("Cannot write msbasic.rom");
    if (!finish_target(&monitor, image + BASIC_SIZE, MONITOR_SIZE)) fail("Cannot write monitor.rom");

    /* The probes make a failed rename unlikely; should the second still fail,
     * the first output has already been replaced. */
    commit_target(&monitor, "Cannot open monitor.rom for writing");
    commit_target(&basic, "Cannot open msbasic.rom for writing");

    fputs("ROM generation complete\n", stdout);
    return 0;
}

/* romsplit: cuts a 12 KB apple.rom ($D000-$FFFF) into msbasic.rom ($D000-$F7FF)
 * and monitor.rom ($F800-$FFFF) in the working directory. Both outputs are
 * written under temporary names and renamed only when both are complete, so a
 * failure leaves any existing msbasic.rom and monitor.rom as they were. */
#include <stdio.h>
#include <stdlib.h>

#define SOURCE_SIZE 12288L
#define BASIC_SIZE 10240L
#define MONITOR_SIZE (SOURCE_SIZE - BASIC_SIZE)

struct target {
    const char *name;
    char temp_name[64];
    FILE *temp;
};

static FILE *source;
static struct target basic = {"msbasic.rom", "", NULL};
static struct target monitor = {"monitor.rom", "", NULL};

static void discard(struct target *t)
{
    if (t->temp) {
        fclose(t->temp);
        t->temp = NULL;
    }
    if (t->temp_name[0]) {
        remove(t->temp_name);
        t->temp_name[0] = '\0';
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

/* Checks that the final name could take the output without touching an
 * existing file (append mode neither truncates nor writes), then creates a
 * temporary file beside it that no other file already uses. */
static int open_target(struct target *t)
{
    FILE *probe = fopen(t->name, "rb");
    if (probe) {
        fclose(probe);
        probe = fopen(t->name, "ab"); /* fails for a directory or a read-only file */
        if (!probe) return 0;
        fclose(probe);
    }
    for (int n = 0; n < 100; n++) {
        sprintf(t->temp_name, "%s.%d.tmp", t->name, n);
        t->temp = fopen(t->temp_name, "wbx");
        if (t->temp) return 1;
    }
    t->temp_name[0] = '\0';
    return 0;
}

static int finish_target(struct target *t, const unsigned char *bytes, long size)
{
    int ok = fwrite(bytes, 1, (size_t)size, t->temp) == (size_t)size;
    if (fclose(t->temp) != 0) ok = 0;
    t->temp = NULL;
    return ok;
}

int main(void)
{
    static unsigned char image[SOURCE_SIZE];

    source = fopen("apple.rom", "rb");
    if (!source) fail("Cannot open apple.rom for reading");

    long here = ftell(source);
    long size = -1;
    if (here >= 0 && fseek(source, 0, SEEK_END) == 0) size = ftell(source);
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
    if (rename(monitor.temp_name, monitor.name) != 0) fail("Cannot open monitor.rom for writing");
    monitor.temp_name[0] = '\0';
    if (rename(basic.temp_name, basic.name) != 0) fail("Cannot open msbasic.rom for writing");
    basic.temp_name[0] = '\0';

    fputs("ROM generation complete\n", stdout);
    return 0;
}

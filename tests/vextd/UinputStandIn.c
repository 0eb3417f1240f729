/* Test-only LD_PRELOAD stand-in for /dev/uinput: $VEXTD_UINPUT names a plain file that vextd's
 * uinput output opens instead; this answers the uinput ioctls on that file with success and
 * writes one line per ioctl to $VEXT_UINPUT_LOG:
 *     EVBIT <n> | KEYBIT <n> | SETUP <bus> <vendor> <product> <version> <name> | CREATE |
 *     DESTROY | OTHER <nr>
 * Writes are left alone, so the input_event records land in the file. Every other descriptor
 * and request goes to the real ioctl. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/uinput.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

static int IsStandIn(int fd) {
    const char* device = getenv("VEXTD_UINPUT");
    char want[PATH_MAX];
    char link[64];
    char target[PATH_MAX];
    if (device == NULL || realpath(device, want) == NULL) {
        return 0;
    }
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0) {
        return 0;
    }
    target[n] = '\0';
    return strcmp(target, want) == 0;
}

static void Log(const char* line) {
    const char* path = getenv("VEXT_UINPUT_LOG");
    const int fd = path != NULL ? open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600) : -1;
    if (fd >= 0) {
        if (write(fd, line, strlen(line)) < 0) {
            /* nothing to do: the test sees the line missing */
        }
        close(fd);
    }
}

int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (_IOC_TYPE(request) != UINPUT_IOCTL_BASE || !IsStandIn(fd)) {
        static int (*next)(int, unsigned long, ...);
        if (next == NULL) {
            next = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
        }
        return next(fd, request, arg);
    }
    char line[UINPUT_MAX_NAME_SIZE + 128];
    if (request == UI_SET_EVBIT || request == UI_SET_KEYBIT) {
        snprintf(line, sizeof line, "%s %ld\n", request == UI_SET_EVBIT ? "EVBIT" : "KEYBIT",
                 (long)(intptr_t)arg);
    } else if (request == UI_DEV_SETUP) {
        const struct uinput_setup* setup = arg;
        snprintf(line, sizeof line, "SETUP %u %u %u %u %.*s\n", setup->id.bustype, setup->id.vendor,
                 setup->id.product, setup->id.version, UINPUT_MAX_NAME_SIZE, setup->name);
    } else if (request == UI_DEV_CREATE) {
        snprintf(line, sizeof line, "CREATE\n");
    } else if (request == UI_DEV_DESTROY) {
        snprintf(line, sizeof line, "DESTROY\n");
    } else {
        snprintf(line, sizeof line, "OTHER %u\n", (unsigned)_IOC_NR(request));
    }
    Log(line);
    return 0;
}

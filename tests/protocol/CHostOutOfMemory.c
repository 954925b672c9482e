/* A host written in C, which brings no C++ runtime of its own: the module loads it. Creation with the
 * memory exhausted, or running out part of the way through, must report -1 and leave the slot free, as
 * with a C++ host; then the freed memory serves new instances. Exits 0 when all holds, otherwise the
 * number of the failed check. The memory helpers are those of tests/support/MemoryExhaustion.h, in C.
 * Usage: c_host_out_of_memory <module.so> */
#include "qanagui/protocol.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>

static QanaguiDeviceIoControlFn deviceIoControl;
static void* blocks[1 << 21];
static size_t blockCount;

/* Limits the address space to what is in use plus a margin. */
static void limitAddressSpace(size_t marginBytes) {
    struct rlimit limit;
    unsigned long pages = 0;
    FILE* status = fopen("/proc/self/statm", "r");
    if (status == NULL || fscanf(status, "%lu", &pages) != 1) exit(90);
    fclose(status);
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = (rlim_t)pages * 4096 + marginBytes;
    if (setrlimit(RLIMIT_AS, &limit) != 0) exit(91);
}

/* Takes what is left in ever smaller blocks, so that the next allocation of any size fails. */
static void exhaustMemory(void) {
    size_t size;
    for (size = 1 << 20; size >= 16; size /= 2)
        while (blockCount < sizeof blocks / sizeof blocks[0]) {
            void* block = malloc(size);
            if (block == NULL) break;
            blocks[blockCount++] = block;
        }
}

static void giveMemoryBack(void) {
    while (blockCount > 0) free(blocks[--blockCount]);
}

static int32_t create(int32_t* handle) {
    int32_t in = 0, returned = 0;
    QanaguiCreateInstanceReply reply = {-9, 0};
    deviceIoControl(QANAGUI_CMD_CREATE_INSTANCE, &in, 4, &reply, (int32_t)sizeof reply, &returned);
    *handle = reply.handle;
    return reply.status;
}

static int32_t destroy(int32_t handle) {
    int32_t status = -9, returned = 0;
    deviceIoControl(QANAGUI_CMD_DESTROY_INSTANCE, &handle, 4, &status, 4, &returned);
    return status;
}

int main(int argc, char** argv) {
    int32_t handles[QANAGUI_MAX_INSTANCES], handle = 0, status = 0;
    int count = 0, steps = 0, i;
    struct rlimit limit;
    void* module = argc == 2 ? dlopen(argv[1], RTLD_NOW) : NULL;
    if (module == NULL) return 2;
    deviceIoControl = (QanaguiDeviceIoControlFn)dlsym(module, QANAGUI_EXPORT_NAME);
    if (deviceIoControl == NULL) return 3;

    /* Nothing left at all. */
    limitAddressSpace(16u << 20);
    exhaustMemory();
    status = create(&handle);
    giveMemoryBack();
    if (status != -1) return 10;
    if (create(&handle) != 0 || destroy(handle) != 0) return 11;

    /* The limit raised a page at a time from nothing left: creation fails at each of its allocations
     * in turn (-1 every time, whatever was already built is given back), then succeeds. */
    limitAddressSpace(16u << 20);
    exhaustMemory();
    getrlimit(RLIMIT_AS, &limit);
    for (steps = 0; steps < 8192 && (status = create(&handle)) == -1; ++steps) {
        limit.rlim_cur += 4096;
        if (setrlimit(RLIMIT_AS, &limit) != 0) return 30;
    }
    giveMemoryBack();
    if (status != 0 || steps < 100) return 31; /* an instance needs far more than 100 pages */
    if (destroy(handle) != 0) return 32;

    /* Instances until memory runs out. */
    limitAddressSpace(24u << 20);
    while (count < QANAGUI_MAX_INSTANCES && (status = create(&handle)) == 0) handles[count++] = handle;
    if (status != -1 || count == 0 || count == QANAGUI_MAX_INSTANCES) return 20;
    if (destroy(handles[--count]) != 0) return 21;
    if (create(&handles[count]) != 0) return 22;
    ++count;
    for (i = 0; i < count; ++i)
        if (destroy(handles[i]) != 0) return 23;
    return 0;
}

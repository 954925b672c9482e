/* What one LV2 plug-in's processing costs, without a JACK server or a host's own per-period work: the
 * plug-in is instantiated with lilv, its audio inputs fed a 1 kHz tone at half scale, and run() called
 * once per period of 256 frames at 48 kHz, paced in real time (the caches go as cold between two
 * periods as in a live host). Measured over the window: the CPU time of the run() calls (the calling
 * thread's clock around each), and the CPU time of the plug-in's own threads (every thread of this
 * process but the one calling run(), from /proc/self/task/TID/schedstat).
 *
 *   run-cost URI SECONDS [SYMBOL=VALUE ...]     (LV2_PATH as for any lilv host)
 *
 * Prints "run MS other MS total MS" in milliseconds of CPU per second. Control inputs not named start
 * at their defaults; atom inputs get an empty sequence, atom outputs room for 8 KB a period.
 * Built and run by bench/lv2/compare (cc run-cost.c $(pkg-config --cflags --libs lilv-0) -lm). */
#define _GNU_SOURCE
#include <dirent.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

enum { kRate = 48000, kPeriod = 256, kAtomBytes = 8192, kMaxUris = 1024 };

static char* uris[kMaxUris];
static int uriCount;

static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
    (void)handle;
    for (int i = 0; i < uriCount; ++i)
        if (strcmp(uris[i], uri) == 0) return (LV2_URID)(i + 1);
    if (uriCount == kMaxUris) return 0;
    uris[uriCount] = strdup(uri);
    return (LV2_URID)++uriCount;
}

static const char* unmap(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
    (void)handle;
    return urid >= 1 && (int)urid <= uriCount ? uris[urid - 1] : NULL;
}

static double seconds(clockid_t clock) {
    struct timespec t;
    clock_gettime(clock, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

/* CPU seconds of every thread of this process but the one given. */
static double otherThreads(pid_t self) {
    double total = 0.0;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return 0.0;
    struct dirent* entry;
    while ((entry = readdir(tasks)) != NULL) {
        if (entry->d_name[0] == '.' || atoi(entry->d_name) == self) continue;
        char path[300];
        snprintf(path, sizeof path, "/proc/self/task/%s/schedstat", entry->d_name);
        FILE* file = fopen(path, "r");
        unsigned long long ns = 0;
        if (file) {
            if (fscanf(file, "%llu", &ns) != 1) ns = 0;
            fclose(file);
        }
        total += (double)ns * 1e-9;
    }
    closedir(tasks);
    return total;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: run-cost URI SECONDS [SYMBOL=VALUE ...]\n");
        return 2;
    }
    const double window = atof(argv[2]);
    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, argv[1]);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    if (!plugin) {
        fprintf(stderr, "run-cost: %s is not installed\n", argv[1]);
        return 2;
    }

    LV2_URID_Map mapper = {NULL, map};
    LV2_URID_Unmap unmapper = {NULL, unmap};
    const int32_t blockLength = kPeriod;
    const float sampleRate = kRate;
    const LV2_URID atomInt = map(NULL, LV2_ATOM__Int), atomFloat = map(NULL, LV2_ATOM__Float);
    LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, map(NULL, LV2_BUF_SIZE__minBlockLength), sizeof blockLength, atomInt, &blockLength},
        {LV2_OPTIONS_INSTANCE, 0, map(NULL, LV2_BUF_SIZE__maxBlockLength), sizeof blockLength, atomInt, &blockLength},
        {LV2_OPTIONS_INSTANCE, 0, map(NULL, LV2_BUF_SIZE__nominalBlockLength), sizeof blockLength, atomInt,
         &blockLength},
        {LV2_OPTIONS_INSTANCE, 0, map(NULL, LV2_PARAMETERS__sampleRate), sizeof sampleRate, atomFloat, &sampleRate},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, NULL}};
    const LV2_Feature mapFeature = {LV2_URID__map, &mapper}, unmapFeature = {LV2_URID__unmap, &unmapper},
                      optionsFeature = {LV2_OPTIONS__options, options},
                      boundedFeature = {LV2_BUF_SIZE__boundedBlockLength, NULL},
                      fixedFeature = {LV2_BUF_SIZE__fixedBlockLength, NULL};
    const LV2_Feature* features[] = {&mapFeature, &unmapFeature, &optionsFeature, &boundedFeature, &fixedFeature, NULL};
    LilvInstance* instance = lilv_plugin_instantiate(plugin, kRate, features);
    if (!instance) {
        fprintf(stderr, "run-cost: %s could not be instantiated\n", argv[1]);
        return 1;
    }

    LilvNode* audio = lilv_new_uri(world, LV2_CORE__AudioPort);
    LilvNode* control = lilv_new_uri(world, LV2_CORE__ControlPort);
    LilvNode* atom = lilv_new_uri(world, LV2_ATOM__AtomPort);
    LilvNode* input = lilv_new_uri(world, LV2_CORE__InputPort);
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    float* defaults = calloc(ports, sizeof(float));
    float* controls = calloc(ports, sizeof(float));
    float(*buffers)[kPeriod] = calloc(ports, sizeof *buffers);
    LV2_Atom_Sequence** sequences = calloc(ports, sizeof *sequences);
    float tone[kPeriod];
    lilv_plugin_get_port_ranges_float(plugin, NULL, NULL, defaults);
    const LV2_URID sequenceType = map(NULL, LV2_ATOM__Sequence), chunkType = map(NULL, LV2_ATOM__Chunk);
    for (uint32_t p = 0; p < ports; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        const char* symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        const int isInput = lilv_port_is_a(plugin, port, input);
        if (lilv_port_is_a(plugin, port, control)) {
            controls[p] = isnan(defaults[p]) ? 0.0f : defaults[p];
            for (int a = 3; a < argc; ++a) {
                const size_t length = strlen(symbol);
                if (strncmp(argv[a], symbol, length) == 0 && argv[a][length] == '=')
                    controls[p] = (float)atof(argv[a] + length + 1);
            }
            lilv_instance_connect_port(instance, p, &controls[p]);
        } else if (lilv_port_is_a(plugin, port, atom)) {
            sequences[p] = aligned_alloc(64, kAtomBytes);
            memset(sequences[p], 0, kAtomBytes);
            lilv_instance_connect_port(instance, p, sequences[p]);
        } else if (lilv_port_is_a(plugin, port, audio) && isInput) {
            lilv_instance_connect_port(instance, p, tone);
        } else {
            lilv_instance_connect_port(instance, p, buffers[p]);
        }
    }
    lilv_instance_activate(instance);

    const pid_t self = (pid_t)syscall(SYS_gettid);
    const double periodSeconds = (double)kPeriod / kRate;
    const long warmupPeriods = (long)(2.0 / periodSeconds), measuredPeriods = (long)(window / periodSeconds);
    struct timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    long phase = 0;
    double runSeconds = 0.0, othersAtStart = 0.0;
    for (long period = 0; period < warmupPeriods + measuredPeriods; ++period) {
        if (period == warmupPeriods) {
            runSeconds = 0.0;
            othersAtStart = otherThreads(self);
        }
        for (int i = 0; i < kPeriod; ++i, ++phase) tone[i] = 0.5f * (float)sin(2.0 * M_PI * 1000.0 * phase / kRate);
        for (uint32_t p = 0; p < ports; ++p) {
            if (!sequences[p]) continue;
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
            if (lilv_port_is_a(plugin, port, input)) {
                sequences[p]->atom.size = sizeof(LV2_Atom_Sequence_Body);
                sequences[p]->atom.type = sequenceType;
            } else {
                sequences[p]->atom.size = kAtomBytes - sizeof(LV2_Atom);
                sequences[p]->atom.type = chunkType;
            }
        }
        const double start = seconds(CLOCK_THREAD_CPUTIME_ID);
        lilv_instance_run(instance, kPeriod);
        runSeconds += seconds(CLOCK_THREAD_CPUTIME_ID) - start;
        next.tv_nsec += (long)(periodSeconds * 1e9);
        while (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL);
    }
    const double measured = measuredPeriods * periodSeconds;
    const double others = otherThreads(self) - othersAtStart;
    printf("run %.3f other %.3f total %.3f\n", runSeconds * 1e3 / measured, others * 1e3 / measured,
           (runSeconds + others) * 1e3 / measured);
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    lilv_world_free(world);
    return 0;
}

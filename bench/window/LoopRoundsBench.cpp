// How responsive the host's message loop stays while many analyzer instances are fed. The module is
// loaded through its export as a host loads it; N instances are created with their windows shown and
// all four traces on as spectra; P processing threads feed them, each instance one processControl
// and one processAudio per block of B samples, paced like a host at R Hz (or unpaced: as fast as the
// calls return); the main thread runs the shared platform loop one PlatformLoop_pump round at a time
// and records how long each round took. Reported per case: rounds per second, the median, 99th and
// 99.9th percentile and the longest round (with the main thread's CPU time in that round), process
// CPU and wake-ups, and how the processing threads kept their pace.
//
// A round that never returns must not hang the run: a watchdog thread prints what was measured so far
// and ends the process when a phase (set-up, measuring, tear-down) overruns its time.
//
// With --fill the instances are made one at a time, as a host fills its table: one loop round (that
// does not wait) after each creation, while the processing threads already feed the instances made
// before it. Reported beside the rest: how long making them took, and the longest of those rounds.
// With --threads 0 nothing is fed: the peer to compare a fed fill with.
//
// Without case options the program runs its standard cases, each in a child process of its own (so
// that a case that hangs or crashes leaves the others their run):
//   32 instances, 48 kHz, blocks of 256, 2 processing threads, paced
//   256 instances, 48 kHz, blocks of 1024, 2 processing threads, paced
//   4 instances, 48 kHz, blocks of 256, 2 processing threads, unpaced
//   256 instances, 48 kHz, blocks of 255, 3 processing threads, paced (188 blocks a second)
//   256 instances filled one at a time, nothing fed
//   256 instances filled one at a time, 3 processing threads, unpaced
//
// Run under a display:
//   scripts/with-xvfb build/bench/bench_loop_rounds [--seconds S] [--module PATH/qanagui.so]
//   scripts/with-xvfb build/bench/bench_loop_rounds --instances 8 --threads 1 --rate 44100 --block 512
//   scripts/with-xvfb build/bench/bench_loop_rounds --instances 256 --threads 3 --unpaced --fill
// The platform library is taken from the module's folder, so another build's module (with its own
// platform library beside it) is measured as that build would run.
#include "host/ModuleLoader.h"
#include "host/PointerWord.h"

#include <dlfcn.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kPi = 3.14159265358979323846;

struct PlatformLoop;
typedef PlatformLoop* (*LoopSharedFn)();
typedef int (*LoopPumpFn)(PlatformLoop*, int);
typedef unsigned long (*DrawingCountFn)();

struct Settings {
    int instances = 32;
    int threads = 2;
    int rate = 48000;
    int block = 256;
    bool paced = true;
    bool fill = false;  // instances made one at a time while the ones made are fed
    int fft = 8192;
    bool sine = true;
    double seconds = 10;
    double warmup = 2;
    int pumpTimeoutMs = 10;
    double setupTimeout = 120;  // seconds for loading, creating and showing the instances (and filling)
    double grace = 30;  // seconds a round may overrun the measuring time, and for tear-down
    std::string module = QANAGUI_MODULE_PATH;
    std::string name;
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

struct Usage {
    double cpu = 0;  // seconds, user + system
    long wakeups = 0;  // voluntary + involuntary context switches
};

Usage usage(int who) {
    rusage u{};
    getrusage(who, &u);
    Usage result;
    result.cpu = double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
    result.wakeups = u.ru_nvcsw + u.ru_nivcsw;
    return result;
}

// Time a thread (or process) spent on a core and waiting for one, from the scheduler's statistics
// (/proc/.../schedstat: nanoseconds running, nanoseconds runnable but waiting). Zero where unreadable.
struct CoreTime {
    double running = 0, waiting = 0;  // seconds
};

CoreTime coreTime(const std::string& schedstatPath) {
    CoreTime t;
    if (FILE* f = std::fopen(schedstatPath.c_str(), "r")) {
        unsigned long long run = 0, wait = 0;
        if (std::fscanf(f, "%llu %llu", &run, &wait) == 2) t = {1e-9 * double(run), 1e-9 * double(wait)};
        std::fclose(f);
    }
    return t;
}

// The X server's schedstat path: from XSERVER_PID, or from the lock file a local server keeps with its
// process id; empty when neither is there.
std::string xServerSchedstat() {
    if (const char* pid = std::getenv("XSERVER_PID")) return "/proc/" + std::string(pid) + "/schedstat";
    const char* display = std::getenv("DISPLAY");
    if (!display || display[0] != ':') return {};
    const std::string lockPath = "/tmp/.X" + std::string(display + 1, std::strcspn(display + 1, ".")) + "-lock";
    FILE* f = std::fopen(lockPath.c_str(), "r");
    if (!f) return {};
    long pid = 0;
    const bool read = std::fscanf(f, "%ld", &pid) == 1;
    std::fclose(f);
    return read && pid > 0 ? "/proc/" + std::to_string(pid) + "/schedstat" : std::string{};
}

// The instances the processing threads feed: filled by the main thread, one at a time, before the
// count that makes them visible to the feeders grows.
struct InstanceTable {
    explicit InstanceTable(size_t capacity) : handles(capacity, 0) {}
    std::vector<uint32_t> handles;
    std::atomic<size_t> count{0};
};

// One processing thread: every stride-th instance of the table from its first, fed block after block.
class Feeder {
public:
    Feeder(const InstanceTable& table, size_t first, size_t stride, QanaguiEntryPoints entries,
           const Settings& settings)
        : table_(table), first_(first), stride_(stride), settings_(settings) {
        audio_ = reinterpret_cast<QanaguiProcessAudioFn>(uintptr_t(entries.processAudio));
        control_ = reinterpret_cast<QanaguiProcessControlFn>(uintptr_t(entries.processControl));
        for (int i = 0; i < kInputPins; ++i) pointers_[i] = &inputs_[i];
        inputs_[1] = 1;  // iA02: spectrum view
        inputs_[4] = settings.fft;  // iA05: transform size
        for (int t = 0; t < 4; ++t) inputs_[20 + t] = 2 + t;  // iA21..iA24: traces on inputs A..D
        inputs_[QANAGUI_SHOW_PIN] = 1;  // iSHo: window shown
        // One second of a 1 kHz sine at -6 dBFS (exactly periodic at the usual rates), plus one block
        // so that any block can be read without wrapping.
        signal_.assign(size_t(settings.rate + settings.block), 0);
        if (settings.sine)
            for (size_t i = 0; i < signal_.size(); ++i)
                signal_[i] =
                    int32_t(std::lround(0.5 * 2147483647.0 * std::sin(2 * kPi * 1000.0 * double(i) / settings.rate)));
        outputs_.assign(table.handles.size(), std::vector<int32_t>(QANAGUI_CONTROL_OUTPUT_COUNT, 0));
    }

    void start() {
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

    long blocks() const { return blocks_.load(std::memory_order_relaxed); }  // instance-blocks
    long passes() const { return passes_.load(std::memory_order_relaxed); }
    long latePasses() const { return late_.load(std::memory_order_relaxed); }
    double longestPass() const { return 1e-9 * double(longestPassNs_.load(std::memory_order_relaxed)); }
    void resetCounts() { resetRequested_ = true; }
    // The thread's time on a core and waiting for one so far.
    CoreTime coreTimeSoFar() const {
        const pid_t tid = tid_.load();
        return tid > 0 ? coreTime("/proc/self/task/" + std::to_string(tid) + "/schedstat") : CoreTime{};
    }

private:
    static constexpr int kInputPins = QANAGUI_CONTROL_INPUT_COUNT + QANAGUI_AUDIO_INPUT_COUNT;

    void run() {
        tid_ = pid_t(syscall(SYS_gettid));
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(settings_.block) / settings_.rate));
        auto next = Clock::now();
        size_t offset = 0;
        while (!stop_) {
            if (resetRequested_.exchange(false)) {
                blocks_ = 0;
                passes_ = 0;
                late_ = 0;
                longestPassNs_ = 0;
            }
            const int32_t* row = signal_.data() + offset;
            const int32_t* rows[4] = {row, row, row, row};
            const auto passStart = Clock::now();
            const size_t count = table_.count.load(std::memory_order_acquire);
            long fed = 0;
            for (size_t i = first_; i < count; i += stride_, ++fed) {
                const uint32_t handle = table_.handles[i];
                control_(handle, pointerWord(pointers_), 0, pointerWord(outputs_[i].data()), 0);
                audio_(handle, 0, pointerWord(rows), 0, 0, 0, settings_.block);
            }
            const auto passEnd = Clock::now();
            if (fed == 0 && !settings_.paced) std::this_thread::yield();  // none of its instances made yet
            const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(passEnd - passStart).count();
            if (ns > longestPassNs_.load(std::memory_order_relaxed))
                longestPassNs_.store(ns, std::memory_order_relaxed);
            blocks_.fetch_add(fed, std::memory_order_relaxed);
            passes_.fetch_add(1, std::memory_order_relaxed);
            offset = (offset + size_t(settings_.block)) % size_t(settings_.rate);
            if (settings_.paced) {
                next += period;
                if (passEnd > next) late_.fetch_add(1, std::memory_order_relaxed);
                // After a stall, keep the pace from now on instead of racing to catch up, as the host does.
                if (next < passEnd - std::chrono::milliseconds(100)) next = passEnd;
                std::this_thread::sleep_until(next);
            }
        }
    }

    const InstanceTable& table_;
    const size_t first_, stride_;
    const Settings& settings_;
    QanaguiProcessAudioFn audio_ = nullptr;
    QanaguiProcessControlFn control_ = nullptr;
    int32_t inputs_[kInputPins] = {};
    const int32_t* pointers_[kInputPins];
    std::vector<std::vector<int32_t>> outputs_;
    std::vector<int32_t> signal_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> resetRequested_{false};
    std::atomic<long> blocks_{0};
    std::atomic<long> passes_{0};
    std::atomic<long> late_{0};
    std::atomic<long long> longestPassNs_{0};
    std::atomic<pid_t> tid_{0};
    std::thread thread_;
};

// Round durations, written by the main thread and readable by the watchdog at any time.
class RoundLog {
public:
    explicit RoundLog(size_t capacity) : wall_(new float[capacity]), cpu_(new float[capacity]), capacity_(capacity) {}
    void add(double wallSeconds, double cpuSeconds) {
        const size_t n = count_.load(std::memory_order_relaxed);
        if (n >= capacity_) return;
        wall_[n] = float(wallSeconds);
        cpu_[n] = float(cpuSeconds);
        count_.store(n + 1, std::memory_order_release);
    }
    size_t count() const { return count_.load(std::memory_order_acquire); }
    float wall(size_t i) const { return wall_[i]; }
    float cpu(size_t i) const { return cpu_[i]; }

private:
    std::unique_ptr<float[]> wall_, cpu_;
    const size_t capacity_;
    std::atomic<size_t> count_{0};
};

struct Run {
    Settings settings;
    std::vector<std::unique_ptr<Feeder>> feeders;
    RoundLog rounds{size_t(1) << 22};
    std::atomic<long long> roundStartNs{-1};  // of the round in progress, -1 between rounds
    Clock::time_point measureStart;
    Usage processAtStart;
    double mainCpuShare = -1, mainWakeupsPerSecond = -1;  // known only once the main thread has measured them
    DrawingCountFn drawingCount = nullptr;  // traces drawn into windows, when the library counts them
    unsigned long drawingsAtStart = 0;
    std::mutex printing;
    std::atomic<bool> reported{false};
    // The fill (--fill): a round after each creation, how many instances are made, and how long
    // making all of them took (negative until done).
    RoundLog fillRounds{4096};
    std::atomic<int> made{0};
    Clock::time_point fillStart;
    double fillSeconds = -1;
    // Over the fill: the main thread's and the X server's time on a core and waiting for one, and the
    // process's CPU (all threads).
    CoreTime fillMain, fillXServer, fillFeeders;
    double fillProcessCpu = -1;
};

// What the fill measured so far; safe from the watchdog, like report.
void reportFill(Run& run) {
    const Settings& s = run.settings;
    if (!s.fill) return;
    const size_t n = run.fillRounds.count();
    double longest = 0, longestCpu = 0;
    size_t over100ms = 0, over1s = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = run.fillRounds.wall(i);
        if (w > longest) {
            longest = w;
            longestCpu = run.fillRounds.cpu(i);
        }
        over100ms += w > 0.1;
        over1s += w > 1.0;
    }
    const double seconds =
        run.fillSeconds >= 0 ? run.fillSeconds : std::chrono::duration<double>(Clock::now() - run.fillStart).count();
    std::printf("  fill:             %d of %d instances made in %.2f s%s, %s, one round after each: longest round "
                "%.1f ms (main-thread CPU in it %.1f ms), rounds > 100 ms: %zu, > 1 s: %zu\n",
                run.made.load(), s.instances, seconds, run.fillSeconds >= 0 ? "" : " (not finished)",
                s.threads == 0 ? "nothing fed"
                               : (std::to_string(s.threads) + " thread(s) feeding the ones made").c_str(),
                1e3 * longest, 1e3 * longestCpu, over100ms, over1s);
    if (run.fillProcessCpu >= 0)
        std::printf("  fill cores:       main thread %.2f s on a core, %.2f s waiting for one; X server %.2f s on a "
                    "core, %.2f s waiting; feeders %.2f s on a core, %.2f s waiting; the process %.2f s of CPU "
                    "(all threads)\n",
                    run.fillMain.running, run.fillMain.waiting, run.fillXServer.running, run.fillXServer.waiting,
                    run.fillFeeders.running, run.fillFeeders.waiting, run.fillProcessCpu);
    std::printf("  fill-summary\t%s\t%d\t%d\t%s\t%d\t%.2f\t%.1f\t%s\n", s.name.c_str(), s.instances, s.threads,
                s.paced ? "paced" : "unpaced", run.made.load(), seconds, 1e3 * longest,
                run.fillSeconds >= 0 ? "done" : "unfinished");
    std::fflush(stdout);
}

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Prints the case's results; measuredSeconds is the measuring time so far. Safe to call from the
// watchdog while the main thread is stuck in a round (reads only atomics and finished entries).
void report(Run& run, double measuredSeconds, const char* ending) {
    std::lock_guard<std::mutex> lock(run.printing);
    if (run.reported.exchange(true)) return;
    const Settings& s = run.settings;
    const size_t n = run.rounds.count();
    std::vector<float> walls(n);
    for (size_t i = 0; i < n; ++i) walls[i] = run.rounds.wall(i);
    size_t longestIndex = 0;
    for (size_t i = 1; i < n; ++i)
        if (walls[i] > walls[longestIndex]) longestIndex = i;
    std::vector<float> sorted = walls;
    std::sort(sorted.begin(), sorted.end());
    auto percentile = [&](double p) -> double {
        if (sorted.empty()) return 0;
        return sorted[std::min(sorted.size() - 1, size_t(std::ceil(p * double(sorted.size()))) - (p > 0 ? 1 : 0))];
    };
    size_t over100ms = 0, over1s = 0;
    for (float w : walls) {
        over100ms += w > 0.1f;
        over1s += w > 1.0f;
    }
    const long long inProgress = run.roundStartNs.load();
    const double current = inProgress >= 0 ? 1e-9 * double(nowNs() - inProgress) : 0;
    const Usage process = usage(RUSAGE_SELF);
    long blocks = 0, passes = 0, late = 0;
    double longestPass = 0;
    for (const auto& feeder : run.feeders) {
        blocks += feeder->blocks();
        passes += feeder->passes();
        late += feeder->latePasses();
        longestPass = std::max(longestPass, feeder->longestPass());
    }
    const double perSecond = measuredSeconds > 0 ? 1.0 / measuredSeconds : 0;
    std::printf("case %s: %d instances, %d processing thread(s), %d Hz, blocks of %d, %s, %d-point spectra x4, %s\n",
                s.name.c_str(), s.instances, s.threads, s.rate, s.block, s.paced ? "paced" : "unpaced", s.fft,
                s.sine ? "1 kHz sine" : "silence");
    std::printf("  ended:            %s after %.1f s (pump timeout %d ms)\n", ending, measuredSeconds, s.pumpTimeoutMs);
    std::printf("  rounds:           %zu (%.1f/s)\n", n, double(n) * perSecond);
    std::printf("  round time:       median %.2f ms, p99 %.2f ms, p99.9 %.2f ms, longest %.1f ms (main-thread CPU in "
                "it %.1f ms)\n",
                1e3 * percentile(0.5), 1e3 * percentile(0.99), 1e3 * percentile(0.999),
                n ? 1e3 * walls[longestIndex] : 0.0, n ? 1e3 * run.rounds.cpu(longestIndex) : 0.0);
    std::printf("  rounds > 100 ms:  %zu, > 1 s: %zu", over100ms, over1s);
    if (current > 0.1) std::printf(", and the round in progress has run %.1f s", current);
    std::printf("\n");
    std::printf("  process:          CPU %.1f %% of a core, %.0f wake-ups/s",
                100.0 * (process.cpu - run.processAtStart.cpu) * perSecond,
                double(process.wakeups - run.processAtStart.wakeups) * perSecond);
    // The main thread's own usage is readable only on the main thread: not when the watchdog reports.
    if (run.mainCpuShare >= 0)
        std::printf("; main thread CPU %.1f %%, %.0f wake-ups/s", 100.0 * run.mainCpuShare, run.mainWakeupsPerSecond);
    std::printf("\n");
    const double expected = s.paced ? double(s.instances) * s.rate / s.block : 0;
    const double drawn = run.drawingCount ? double(run.drawingCount() - run.drawingsAtStart) * perSecond : -1;
    if (drawn >= 0)
        std::printf(s.paced ? "  traces drawn:     %.1f/s (at most %.1f/s: 4 per %d samples per instance)\n"
                            : "  traces drawn:     %.1f/s (fed faster than real time; %.1f/s in real time)\n",
                    drawn, 4.0 * s.instances * s.rate / s.fft, s.fft);
    std::printf("  processing:       %.0f instance-blocks/s%s, %ld passes, %ld late (%.1f %%), longest pass %.1f ms (a "
                "block is %.2f ms)\n",
                double(blocks) * perSecond,
                s.paced ? (" of " + std::to_string(long(std::lround(expected)))).c_str() : "", passes, late,
                passes ? 100.0 * double(late) / double(passes) : 0.0, 1e3 * longestPass, 1e3 * s.block / s.rate);
    std::printf(
        "  summary\t%s\t%d\t%d\t%d\t%d\t%s\t%zu\t%.1f\t%.2f\t%.2f\t%.1f\t%.1f\t%.0f\t%.0f\t%.0f\t%ld\t%.1f\t%.1f\t%s\n",
        s.name.c_str(), s.instances, s.threads, s.rate, s.block, s.paced ? "paced" : "unpaced", n,
        double(n) * perSecond, 1e3 * percentile(0.5), 1e3 * percentile(0.99), n ? 1e3 * walls[longestIndex] : 0.0,
        100.0 * (process.cpu - run.processAtStart.cpu) * perSecond,
        double(process.wakeups - run.processAtStart.wakeups) * perSecond, double(blocks) * perSecond, expected, late,
        1e3 * longestPass, drawn, ending);
    std::fflush(stdout);
}

// Ends the process when the current phase overruns its deadline, after printing what it has.
class Watchdog {
public:
    explicit Watchdog(Run& run) : run_(run), thread_([this] { watch(); }) {}
    ~Watchdog() {
        done_ = true;
        thread_.join();
    }
    void phase(const char* name, double secondsFromNow) {
        std::lock_guard<std::mutex> lock(mutex_);
        phase_ = name;
        deadline_ =
            Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(secondsFromNow));
    }

private:
    void watch() {
        while (!done_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::string phase;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (Clock::now() < deadline_) continue;
                phase = phase_;
            }
            const double measured =
                run_.measureStart == Clock::time_point{} ? 0 : seconds(Clock::now() - run_.measureStart);
            std::printf("case %s: WATCHDOG: the %s phase overran its time; the main thread is stuck\n",
                        run_.settings.name.c_str(), phase.c_str());
            if (phase == "fill") reportFill(run_);
            if (phase == "measuring" || phase == "warm-up")
                report(run_, measured, phase == "warm-up" ? "watchdog in the warm-up" : "watchdog");
            std::fflush(stdout);
            _exit(3);
        }
    }

    Run& run_;
    std::mutex mutex_;
    std::string phase_ = "set-up";
    Clock::time_point deadline_ = Clock::time_point::max();
    std::atomic<bool> done_{false};
    std::thread thread_;
};

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

int runCase(Settings settings) {
    Run run;
    run.settings = settings;
    if (run.settings.name.empty())
        run.settings.name = std::to_string(settings.instances) + "x" + std::to_string(settings.rate / 1000) + "k/" +
                            std::to_string(settings.block) + (settings.paced ? "" : "-unpaced");
    const Settings& s = run.settings;
    Watchdog watchdog(run);
    watchdog.phase("set-up", s.setupTimeout);

    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "bench_loop_rounds: no DISPLAY (run it under scripts/with-xvfb)\n");
        return 2;
    }
    // The platform library beside the module, so that module and loop are one build's.
    const std::string platformPath = folderOf(s.module) + "/libqanagui-platform.so.0";
    void* platform = dlopen(platformPath.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (platform == nullptr) {
        std::fprintf(stderr, "bench_loop_rounds: cannot load %s: %s\n", platformPath.c_str(), dlerror());
        return 2;
    }
    const auto loopShared = reinterpret_cast<LoopSharedFn>(dlsym(platform, "PlatformLoop_shared"));
    const auto loopPump = reinterpret_cast<LoopPumpFn>(dlsym(platform, "PlatformLoop_pump"));
    if (loopShared == nullptr || loopPump == nullptr) {
        std::fprintf(stderr, "bench_loop_rounds: %s lacks the loop functions\n", platformPath.c_str());
        return 2;
    }
    run.drawingCount = reinterpret_cast<DrawingCountFn>(dlsym(platform, "PlatformWindow_drawingCount"));
    ModuleLoader module;
    if (!module.load(s.module)) {
        std::fprintf(stderr, "bench_loop_rounds: %s\n", module.error().c_str());
        return 2;
    }
    PlatformLoop* loop = loopShared();

    InstanceTable table(size_t(s.instances));
    int32_t in = 0, returned = 0;
    QanaguiEntryPointsReply entries{-9, {}};
    module.command(QANAGUI_CMD_GET_ENTRY_POINTS, &in, 4, &entries, sizeof entries, returned);
    auto create = [&]() -> bool {
        QanaguiCreateInstanceReply reply{-9, 0};
        module.command(QANAGUI_CMD_CREATE_INSTANCE, &in, 4, &reply, sizeof reply, returned);
        if (reply.status != QANAGUI_STATUS_OK) {
            std::fprintf(stderr, "bench_loop_rounds: instance %d refused (status %d)\n", run.made.load() + 1,
                         reply.status);
            return false;
        }
        int32_t rate[2] = {int32_t(reply.handle), s.rate}, status = 0;
        module.command(QANAGUI_CMD_SET_SAMPLE_RATE, rate, sizeof rate, &status, sizeof status, returned);
        table.handles[size_t(run.made.load())] = reply.handle;
        run.made.fetch_add(1);
        return true;
    };
    if (!s.fill)
        for (int i = 0; i < s.instances; ++i)
            if (!create()) return 2;
    table.count.store(size_t(run.made.load()), std::memory_order_release);
    const int threads = std::min(s.threads, s.instances);
    for (int t = 0; t < threads; ++t)
        run.feeders.push_back(std::make_unique<Feeder>(table, size_t(t), size_t(threads), entries.entries, s));
    for (auto& feeder : run.feeders) feeder->start();

    if (s.fill) {
        // As a host fills its table: one round of the loop, without waiting, after each creation,
        // while the instances made before are fed.
        watchdog.phase("fill", s.setupTimeout);
        run.fillStart = Clock::now();
        const std::string mainPath = "/proc/thread-self/schedstat", xPath = xServerSchedstat();
        const CoreTime mainAtStart = coreTime(mainPath), xAtStart = coreTime(xPath);
        const double processAtStart = usage(RUSAGE_SELF).cpu;
        auto feedersSoFar = [&run] {
            CoreTime sum;
            for (const auto& feeder : run.feeders) {
                const CoreTime t = feeder->coreTimeSoFar();
                sum.running += t.running;
                sum.waiting += t.waiting;
            }
            return sum;
        };
        const CoreTime feedersAtStart = feedersSoFar();
        for (int i = 0; i < s.instances; ++i) {
            if (!create()) return 2;
            table.count.store(size_t(run.made.load()), std::memory_order_release);
            const auto start = Clock::now();
            const double cpuStart = threadCpuSeconds();
            run.roundStartNs = std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
            loopPump(loop, 0);
            run.roundStartNs = -1;
            run.fillRounds.add(seconds(Clock::now() - start), threadCpuSeconds() - cpuStart);
        }
        run.fillSeconds = seconds(Clock::now() - run.fillStart);
        const CoreTime mainAtEnd = coreTime(mainPath), xAtEnd = coreTime(xPath);
        run.fillMain = {mainAtEnd.running - mainAtStart.running, mainAtEnd.waiting - mainAtStart.waiting};
        run.fillXServer = {xAtEnd.running - xAtStart.running, xAtEnd.waiting - xAtStart.waiting};
        run.fillProcessCpu = usage(RUSAGE_SELF).cpu - processAtStart;
        const CoreTime feedersAtEnd = feedersSoFar();
        run.fillFeeders = {feedersAtEnd.running - feedersAtStart.running,
                           feedersAtEnd.waiting - feedersAtStart.waiting};
    }

    // Warm-up: the windows open and paint while the feeding runs.
    watchdog.phase("warm-up", s.warmup + s.grace);
    run.processAtStart = usage(RUSAGE_SELF);  // so that a report from the warm-up has a base
    run.measureStart = Clock::now();
    const auto warmupEnd =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s.warmup));
    for (auto start = Clock::now(); start < warmupEnd; start = Clock::now()) {
        run.roundStartNs = std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
        loopPump(loop, s.pumpTimeoutMs);
        run.roundStartNs = -1;
    }
    for (auto& feeder : run.feeders) feeder->resetCounts();

    watchdog.phase("measuring", s.seconds + s.grace);
    run.processAtStart = usage(RUSAGE_SELF);
    if (run.drawingCount) run.drawingsAtStart = run.drawingCount();
    const Usage mainStart = usage(RUSAGE_THREAD);
    run.measureStart = Clock::now();
    const auto end =
        run.measureStart + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s.seconds));
    for (;;) {
        const auto start = Clock::now();
        if (start >= end) break;
        const double cpuStart = threadCpuSeconds();
        run.roundStartNs = std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
        loopPump(loop, s.pumpTimeoutMs);
        run.roundStartNs = -1;
        run.rounds.add(seconds(Clock::now() - start), threadCpuSeconds() - cpuStart);
    }
    const double measured = seconds(Clock::now() - run.measureStart);
    const Usage mainEnd = usage(RUSAGE_THREAD);
    run.mainCpuShare = (mainEnd.cpu - mainStart.cpu) / measured;
    run.mainWakeupsPerSecond = double(mainEnd.wakeups - mainStart.wakeups) / measured;
    report(run, measured, "on time");
    reportFill(run);

    watchdog.phase("tear-down", s.grace);
    const auto teardownStart = Clock::now();
    for (auto& feeder : run.feeders) feeder->stop();
    for (int i = 0; i < run.made.load(); ++i) {
        int32_t h = int32_t(table.handles[size_t(i)]), status = -9;
        module.command(QANAGUI_CMD_DESTROY_INSTANCE, &h, sizeof h, &status, sizeof status, returned);
    }
    loopPump(loop, 0);
    std::printf("  tear-down:        %.2f s\n", seconds(Clock::now() - teardownStart));
    std::fflush(stdout);
    watchdog.phase("exit", s.grace);
    module.unload();
    return 0;
}

bool parse(int argc, char** argv, Settings& s, bool& anyCase, std::vector<std::string>& passOn) {
    anyCase = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "bench_loop_rounds: %s needs a value\n", arg.c_str());
                std::exit(1);
            }
            return argv[++i];
        };
        const bool caseOption = arg == "--instances" || arg == "--threads" || arg == "--rate" || arg == "--block" ||
                                arg == "--unpaced" || arg == "--fill" || arg == "--name";
        anyCase = anyCase || caseOption;
        if (arg == "--instances")
            s.instances = std::atoi(value());
        else if (arg == "--threads")
            s.threads = std::atoi(value());
        else if (arg == "--rate")
            s.rate = std::atoi(value());
        else if (arg == "--block")
            s.block = std::atoi(value());
        else if (arg == "--unpaced")
            s.paced = false;
        else if (arg == "--fill")
            s.fill = true;
        else if (arg == "--name")
            s.name = value();
        else if (arg == "--fft")
            s.fft = std::atoi(value());
        else if (arg == "--silence")
            s.sine = false;
        else if (arg == "--seconds")
            s.seconds = std::atof(value());
        else if (arg == "--warmup")
            s.warmup = std::atof(value());
        else if (arg == "--pump-timeout-ms")
            s.pumpTimeoutMs = std::atoi(value());
        else if (arg == "--setup-timeout")
            s.setupTimeout = std::atof(value());
        else if (arg == "--grace")
            s.grace = std::atof(value());
        else if (arg == "--module")
            s.module = value();
        else if (arg == "--help" || arg == "-h") {
            std::printf("usage: bench_loop_rounds [case options] [common options]\n"
                        "case options (without any, the standard cases run, each in its own process):\n"
                        "  --instances N --threads P (0: none) --rate HZ --block B --unpaced --fill --name TEXT\n"
                        "common options:\n"
                        "  --seconds S (10)  --warmup S (2)  --fft 1024..8192 (8192)  --silence (default: 1 kHz sine)\n"
                        "  --pump-timeout-ms T (10)  --setup-timeout S (120)  --grace S (30)\n"
                        "  --module PATH (default: this build's qanagui.so; its folder's platform library is used)\n");
            std::exit(0);
        } else {
            std::fprintf(stderr, "bench_loop_rounds: unknown argument %s (see --help)\n", arg.c_str());
            return false;
        }
        if (!caseOption) {
            passOn.push_back(arg);
            if (arg != "--silence") passOn.push_back(argv[i]);
        }
    }
    if (s.instances < 1 || s.instances > 4096 || s.threads < 0 || s.rate < 1000 || s.block < 1 || s.seconds <= 0) {
        std::fprintf(stderr, "bench_loop_rounds: bad case values\n");
        return false;
    }
    return true;
}

// Runs one case in a child process and waits for it, killing it when it outlives its time.
int runChild(const std::vector<std::string>& args, double limitSeconds) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) != 0) {
        std::perror("bench_loop_rounds: posix_spawn");
        return -1;
    }
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limitSeconds));
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            std::printf("  (the case's process was killed after %.0f s)\n", limitSeconds);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (WIFSIGNALED(status)) std::printf("  (the case's process ended by signal %d)\n", WTERMSIG(status));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    bool anyCase = false;
    std::vector<std::string> passOn;
    if (!parse(argc, argv, settings, anyCase, passOn)) return 1;
    if (anyCase) return runCase(settings);

    struct Standard {
        const char* name;
        int instances, threads, rate, block;
        bool paced, fill;
    };
    const Standard cases[] = {{"32x48k/256", 32, 2, 48000, 256, true, false},
                              {"256x48k/1024", 256, 2, 48000, 1024, true, false},
                              {"4x48k/256-unpaced", 4, 2, 48000, 256, false, false},
                              {"256x48k/255-3threads", 256, 3, 48000, 255, true, false},
                              {"256-fill-unfed", 256, 0, 48000, 255, true, true},
                              {"256-fill-3threads-unpaced", 256, 3, 48000, 255, false, true}};
    std::printf("module %s; %.0f s per case after %.0f s of warm-up\n", settings.module.c_str(), settings.seconds,
                settings.warmup);
    std::fflush(stdout);
    int worst = 0;
    for (const Standard& c : cases) {
        std::vector<std::string> args = {argv[0],
                                         "--name",
                                         c.name,
                                         "--instances",
                                         std::to_string(c.instances),
                                         "--threads",
                                         std::to_string(c.threads),
                                         "--rate",
                                         std::to_string(c.rate),
                                         "--block",
                                         std::to_string(c.block)};
        if (!c.paced) args.push_back("--unpaced");
        if (c.fill) args.push_back("--fill");
        args.insert(args.end(), passOn.begin(), passOn.end());
        const double limit = settings.setupTimeout + settings.warmup + settings.seconds + 3 * settings.grace + 30;
        worst = std::max(worst, std::abs(runChild(args, limit)));
    }
    return worst == 0 ? 0 : 3;
}

#include "host/AnalyzerSession.h"

#include "host/HostOptions.h"

#include <atomic>

namespace {

constexpr int32_t kCreateInstance = 1025;
constexpr int32_t kDestroyInstance = 1026;
constexpr int32_t kGetEntryPoints = 1027;
constexpr int32_t kSetSampleRate = 1028;
constexpr int32_t kSetHostCallback = 1030;

typedef int32_t (*ProcessAudio)(uint32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*ProcessControl)(uint32_t, int32_t, int32_t, int32_t, int32_t);

std::atomic<long> notificationCount{0};

// The module may call it from any thread; it only counts.
int32_t hostCallback(int32_t, int32_t, int32_t, int32_t) {
    notificationCount.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

template <typename T>
int32_t word(T* pointer) {
    return int32_t(reinterpret_cast<uintptr_t>(pointer));
}

}  // namespace

long AnalyzerSession::notifications() { return notificationCount.load(); }

AnalyzerSession::~AnalyzerSession() { destroyAll(); }

int AnalyzerSession::open(const std::string& modulePath, std::string& error) {
    if (!module_.load(modulePath)) {
        error = module_.error();
        return kExitModule;
    }
    int32_t in = word(&hostCallback), out = -9, returned = 0;
    module_.command(kSetHostCallback, &in, 4, &out, 4, returned);
    std::vector<uint8_t> image;
    const int32_t size = module_.readDescriptorImage(image);
    if (!parseDescriptorImage(image, description_, error)) {
        error += " (" + std::to_string(size) + " bytes returned)";
        return kExitDescriptor;
    }
    if (description_.audioInputCount != 4 || description_.controlInputCount < 1) {
        error = "the module does not have four audio inputs";
        return kExitDescriptor;
    }
    return kExitOk;
}

bool AnalyzerSession::createInstances(int n, int sampleRate, std::string& error) {
    for (int i = 0; i < n; ++i) {
        int32_t in = 0, out[2] = {-9, 0}, returned = 0;
        module_.command(kCreateInstance, &in, 4, out, 8, returned);
        if (out[0] != 0) {
            error = "the module refused to create instance " + std::to_string(i + 1) + " (status " +
                    std::to_string(out[0]) + ")";
            return false;
        }
        Instance instance;
        instance.handle = out[1];
        instance.inputs.assign(size_t(description_.controlInputCount), 0);
        instance.outputs.assign(size_t(description_.controlOutputCount), 0);
        instances_.push_back(std::move(instance));
    }
    // Pointers into the vectors only once they stay where they are.
    for (Instance& instance : instances_)
        for (int32_t& value : instance.inputs) instance.inputPointers.push_back(&value);

    int32_t in = 0, out[6] = {-9}, returned = 0;
    module_.command(kGetEntryPoints, &in, 4, out, 24, returned);
    if (out[0] != 0) {
        error = "the module gave no entry points";
        return false;
    }
    for (int i = 0; i < 5; ++i) entries_[i] = uint32_t(out[1 + i]);
    for (const Instance& instance : instances_) {
        int32_t rate[2] = {instance.handle, sampleRate}, status = 0;
        module_.command(kSetSampleRate, rate, 8, &status, 4, returned);
    }
    return true;
}

int AnalyzerSession::inputPin(const std::string& name) const {
    for (int i = 0; i < description_.controlInputCount; ++i)
        if (description_.inputs[size_t(i)].name == name) return i;
    return -1;
}

std::string AnalyzerSession::inputPinNames() const {
    std::string names;
    for (int i = 0; i < description_.controlInputCount; ++i)
        names += (i ? " " : "") + description_.inputs[size_t(i)].name;
    return names;
}

void AnalyzerSession::setPin(int pin, int32_t value) {
    for (Instance& instance : instances_) instance.inputs[size_t(pin)] = value;
}

void AnalyzerSession::processBlock(int32_t* const samples[4], int frames) {
    const auto control = reinterpret_cast<ProcessControl>(uintptr_t(entries_[1]));
    const auto audio = reinterpret_cast<ProcessAudio>(uintptr_t(entries_[0]));
    for (Instance& instance : instances_) {
        control(uint32_t(instance.handle), word(instance.inputPointers.data()), 0, word(instance.outputs.data()), 0);
        audio(uint32_t(instance.handle), 0, word(samples), 0, 0, 0, frames);
    }
}

void AnalyzerSession::copyOutputs(std::vector<int32_t>& outputs) const {
    if (!instances_.empty()) outputs = instances_[0].outputs;
}

void AnalyzerSession::destroyAll() {
    for (const Instance& instance : instances_) {
        int32_t in = instance.handle, out = -9, returned = 0;
        module_.command(kDestroyInstance, &in, 4, &out, 4, returned);
    }
    instances_.clear();
}

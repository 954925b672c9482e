#include "host/AnalyzerSession.h"

#include "host/HostOptions.h"
#include "host/PointerWord.h"

#include <atomic>
#include <type_traits>

namespace {

std::atomic<long> notificationCount{0};

// The module may call it from any thread; it only counts.
int32_t QANAGUI_ABI hostCallback(int32_t /*code*/, int32_t /*value1*/, int32_t /*value2*/, int32_t /*zero*/) {
    notificationCount.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

}  // namespace

long AnalyzerSession::notifications() { return notificationCount.load(); }

AnalyzerSession::~AnalyzerSession() { destroyAll(); }

int AnalyzerSession::open(const std::string& modulePath, std::string& error) {
    if (!module_.load(modulePath)) {
        error = module_.error();
        return kExitModule;
    }
    int32_t in = pointerWord(&hostCallback), out = -9, returned = 0;
    static_assert(std::is_same<decltype(&hostCallback), QanaguiHostCallback>::value, "host callback type");
    module_.command(QANAGUI_CMD_SET_HOST_CALLBACK, &in, sizeof in, &out, sizeof out, returned);
    std::vector<uint8_t> image;
    const int32_t size = module_.readDescriptorImage(image);
    if (!parseDescriptorImage(image, description_, error)) {
        error += " (" + std::to_string(size) + " bytes returned)";
        return kExitDescriptor;
    }
    if (description_.audioInputCount != QANAGUI_AUDIO_INPUT_COUNT || description_.controlInputCount < 1) {
        error = "the module does not have four audio inputs";
        return kExitDescriptor;
    }
    return kExitOk;
}

bool AnalyzerSession::createInstances(int n, int sampleRate, std::string& error) {
    for (int i = 0; i < n; ++i) {
        int32_t in = 0, returned = 0;
        QanaguiCreateInstanceReply reply{-9, 0};
        module_.command(QANAGUI_CMD_CREATE_INSTANCE, &in, 4, &reply, sizeof reply, returned);
        if (reply.status != QANAGUI_STATUS_OK) {
            error = "the module refused to create instance " + std::to_string(i + 1) + " (status " +
                    std::to_string(reply.status) + ")";
            return false;
        }
        Instance instance;
        instance.handle = int32_t(reply.handle);
        instance.inputs.assign(size_t(description_.controlInputCount), 0);
        instance.outputs.assign(size_t(description_.controlOutputCount), 0);
        instances_.push_back(std::move(instance));
    }
    // Pointers into the vectors only once they stay where they are.
    for (Instance& instance : instances_)
        for (int32_t& value : instance.inputs) instance.inputPointers.push_back(&value);

    int32_t in = 0, returned = 0;
    QanaguiEntryPointsReply reply{-9, {}};
    module_.command(QANAGUI_CMD_GET_ENTRY_POINTS, &in, 4, &reply, sizeof reply, returned);
    if (reply.status != QANAGUI_STATUS_OK) {
        error = "the module gave no entry points";
        return false;
    }
    entries_ = reply.entries;
    for (const Instance& instance : instances_) {
        int32_t rate[2] = {instance.handle, sampleRate}, status = 0;
        module_.command(QANAGUI_CMD_SET_SAMPLE_RATE, rate, sizeof rate, &status, sizeof status, returned);
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
    const auto control = reinterpret_cast<QanaguiProcessControlFn>(uintptr_t(entries_.processControl));
    const auto audio = reinterpret_cast<QanaguiProcessAudioFn>(uintptr_t(entries_.processAudio));
    for (Instance& instance : instances_) {
        control(uint32_t(instance.handle), pointerWord(instance.inputPointers.data()), 0,
                pointerWord(instance.outputs.data()), 0);
        audio(uint32_t(instance.handle), 0, pointerWord(samples), 0, 0, /*start*/ 0, /*count*/ frames);
    }
}

const std::vector<int32_t>& AnalyzerSession::firstOutputs() const {
    static const std::vector<int32_t> none;
    return instances_.empty() ? none : instances_[0].outputs;
}

void AnalyzerSession::destroyAll() {
    for (const Instance& instance : instances_) {
        int32_t in = instance.handle, out = -9, returned = 0;
        module_.command(QANAGUI_CMD_DESTROY_INSTANCE, &in, sizeof in, &out, sizeof out, returned);
    }
    instances_.clear();
}

int AnalyzerSession::resolvePinSettings(const HostOptions& options, std::vector<std::pair<int, int32_t>>& pinValues,
                                        std::string& error) const {
    pinValues.clear();
    const int showPin = inputPin("iSHo");
    if (showPin < 0) {
        error = "the module has no show pin \"iSHo\"";
        return kExitDescriptor;
    }
    pinValues.emplace_back(showPin, options.hidden ? 0 : 1);
    for (const auto& [name, value] : options.pinValues) {
        const int pin = inputPin(name);
        if (pin < 0) {
            error = "unknown input pin '" + name + "'; the module's control inputs: " + inputPinNames();
            return kExitUsage;
        }
        pinValues.emplace_back(pin, value);
    }
    return kExitOk;
}

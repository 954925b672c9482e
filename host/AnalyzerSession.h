// The host's side of the module contract, in its order: load the module, install a host callback,
// read and check the descriptor image, create the instances, fetch the entry points, pass the sample
// rate; then, per block, the control entry and the audio entry of each instance; at the end destroy
// every instance. Pin names and kinds come from the module's descriptor image only.
//
// Threads: open, createInstances, setPin, destroyAll [main-thread]; processBlock and firstOutputs
// [audio-thread]. The host sets its pins before the first block and destroys after the last one.
#pragma once

#include "host/DescriptorImage.h"
#include "host/ModuleLoader.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct HostOptions;

class AnalyzerSession {
public:
    ~AnalyzerSession();

    // Loads the module, installs the callback and reads the descriptor. Returns a HostExit code.
    int open(const std::string& modulePath, std::string& error);
    // Creates n instances, fetches the entry points and passes the sample rate. False when the module
    // refuses an instance (error says so).
    bool createInstances(int n, int sampleRate, std::string& error);

    // The index of a control input pin by its descriptor name, or -1.
    int inputPin(const std::string& name) const;
    // The names of all control input pins, for error messages.
    std::string inputPinNames() const;
    // The input pins the options set, as (pin, value): the show pin "iSHo" first (0 with --hidden,
    // else 1), then each named setting. Returns kExitOk, or the exit code with error saying which
    // name the module lacks.
    int resolvePinSettings(const HostOptions& options, std::vector<std::pair<int, int32_t>>& pinValues,
                           std::string& error) const;
    // Sets a control input pin of every instance.
    void setPin(int pin, int32_t value);

    // One block for every instance: control entry, then audio entry with the four arrays.
    void processBlock(int32_t* const samples[4], int frames);

    // The control outputs of instance 0 after the last block (empty without instances).
    const std::vector<int32_t>& firstOutputs() const;
    const ModuleDescription& description() const { return description_; }
    int instanceCount() const { return int(instances_.size()); }
    // Notifications the module sent through the host callback.
    static long notifications();

    // Destroys every instance (their windows close).
    void destroyAll();

private:
    struct Instance {
        int32_t handle = 0;
        std::vector<int32_t> inputs;
        std::vector<const int32_t*> inputPointers;
        std::vector<int32_t> outputs;
    };

    ModuleLoader module_;
    ModuleDescription description_;
    std::vector<Instance> instances_;
    QanaguiEntryPoints entries_ = {};
};

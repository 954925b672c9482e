// Fuzzes the control entry of one instance through start-up (the first 30 calls) and running: pin
// values, panel settings and module sample rates come from the input, in any order.
#include "FuzzHost.h"

using namespace fuzzhost;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    runWithoutDisplay();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    {
        InstanceForInput forInput;
        Instance& instance = *forInput;
        while (data.remaining_bytes() > 0) {
            switch (data.ConsumeIntegralInRange(0, 7)) {
            case 0: panelEvent(instance.handle, data); break;
            case 1: sampleRateEvent(instance.handle, data); break;
            case 2: {
                // A run of calls with unchanged pins: through start-up in one step.
                const int calls = data.ConsumeIntegralInRange(1, 32);
                for (int i = 0; i < calls; ++i) instance.control();
                break;
            }
            default:
                instance.pins.change(data);
                instance.control();
                break;
            }
        }
    }
    resetModuleState();
    return 0;
}

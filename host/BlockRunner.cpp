#include "host/BlockRunner.h"

BlockRunner::BlockRunner(AnalyzerSession& session)
    : session_(session), outputCount_(session.firstOutputs().size()), outputs_(new std::atomic<int32_t>[outputCount_]) {
    for (size_t i = 0; i < outputCount_; ++i) outputs_[i] = session.firstOutputs()[i];
}

void BlockRunner::process(int32_t* const samples[4], int frames) {
    session_.processBlock(samples, frames);
    const std::vector<int32_t>& first = session_.firstOutputs();
    for (size_t i = 0; i < outputCount_; ++i) outputs_[i].store(first[i], std::memory_order_relaxed);
    blocks_.fetch_add(1, std::memory_order_relaxed);
}

std::vector<int32_t> BlockRunner::outputs() const {
    std::vector<int32_t> copy(outputCount_);
    for (size_t i = 0; i < outputCount_; ++i) copy[i] = outputs_[i].load(std::memory_order_relaxed);
    return copy;
}

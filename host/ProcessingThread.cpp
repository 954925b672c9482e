#include "host/ProcessingThread.h"

#include <chrono>
#include <vector>

ProcessingThread::ProcessingThread(BlockRunner& runner, AudioSource& source, int blockSize, bool paced)
    : runner_(runner), source_(source), blockSize_(blockSize), paced_(paced) {
    thread_ = std::thread([this] { run(); });
}

ProcessingThread::~ProcessingThread() { stop(); }

void ProcessingThread::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void ProcessingThread::run() {
    std::vector<int32_t> buffers[4];
    int32_t* rows[4];
    for (int i = 0; i < 4; ++i) {
        buffers[i].assign(size_t(blockSize_), 0);
        rows[i] = buffers[i].data();
    }
    const auto blockTime = std::chrono::duration<double>(double(blockSize_) / source_.sampleRate());
    auto next = std::chrono::steady_clock::now();
    while (!stop_) {
        if (!source_.read(rows, blockSize_)) {
            ended_ = true;
            return;
        }
        runner_.process(rows, blockSize_);
        if (paced_) {
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(blockTime);
            const auto now = std::chrono::steady_clock::now();
            // After a stall, keep the pace from now on instead of racing to catch up.
            if (next < now - std::chrono::milliseconds(100)) next = now;
            std::this_thread::sleep_until(next);
        }
    }
}

#include "host/ProcessingThread.h"

#include <chrono>

ProcessingThread::ProcessingThread(AnalyzerSession& session, AudioSource& source, int blockSize, bool paced)
    : session_(session), source_(source), blockSize_(blockSize), paced_(paced) {
    thread_ = std::thread([this] { run(); });
}

ProcessingThread::~ProcessingThread() { stop(); }

void ProcessingThread::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void ProcessingThread::setPin(int pin, int32_t value) {
    std::lock_guard<std::mutex> lock(pinsMutex_);
    session_.setPin(pin, value);
}

std::vector<int32_t> ProcessingThread::outputs() {
    std::vector<int32_t> copy;
    std::lock_guard<std::mutex> lock(pinsMutex_);
    session_.copyOutputs(copy);
    return copy;
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
        {
            std::lock_guard<std::mutex> lock(pinsMutex_);
            session_.processBlock(rows, blockSize_);
        }
        blocks_.fetch_add(1, std::memory_order_relaxed);
        if (paced_) {
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(blockTime);
            const auto now = std::chrono::steady_clock::now();
            // After a stall, keep the pace from now on instead of racing to catch up.
            if (next < now - std::chrono::milliseconds(100)) next = now;
            std::this_thread::sleep_until(next);
        }
    }
}

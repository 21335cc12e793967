#include "encoder/ReadAhead.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace av {

namespace {

// Samples are handed over in chunks of this many frames (about 90 ms at 44100 Hz), and
// at most this many chunks wait for the encoder.
constexpr std::size_t kChunkFrames = 4096;
constexpr std::size_t kWaitingChunks = 4;

// Thrown inside produce when the consumer has given up, to unwind the reading.
struct Stopped {};

struct Handover {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<float>> chunks;
    bool produced = false;   // produce has returned or thrown
    bool stopped = false;    // the consumer has given up
};

}  // namespace

std::int64_t ReadAhead(int channels, const std::function<std::int64_t(const SampleSink&)>& produce,
                       const SampleSink& consume)
{
    const std::size_t width = std::size_t(channels > 0 ? channels : 1);
    Handover handover;
    std::int64_t result = 0;
    std::exception_ptr failure;

    std::thread reader([&] {
        std::vector<float> pending;
        auto handOver = [&] {
            std::unique_lock<std::mutex> lock(handover.mutex);
            handover.changed.wait(lock, [&] { return handover.chunks.size() < kWaitingChunks || handover.stopped; });
            if (handover.stopped)
                throw Stopped{};
            handover.chunks.push_back(std::move(pending));
            pending = {};
            handover.changed.notify_all();
        };
        try {
            result = produce([&](const float* samples, int frames) {
                if (frames <= 0)
                    return;
                pending.insert(pending.end(), samples, samples + std::size_t(frames) * width);
                if (pending.size() >= kChunkFrames * width)
                    handOver();
            });
            if (!pending.empty())
                handOver();
        } catch (const Stopped&) {
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(handover.mutex);
        handover.produced = true;
        handover.changed.notify_all();
    });

    try {
        for (;;) {
            std::vector<float> chunk;
            {
                std::unique_lock<std::mutex> lock(handover.mutex);
                handover.changed.wait(lock, [&] { return !handover.chunks.empty() || handover.produced; });
                if (handover.chunks.empty())
                    break;
                chunk = std::move(handover.chunks.front());
                handover.chunks.pop_front();
                handover.changed.notify_all();
            }
            consume(chunk.data(), int(chunk.size() / width));
        }
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(handover.mutex);
            handover.stopped = true;
            handover.changed.notify_all();
        }
        reader.join();
        throw;
    }
    reader.join();
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

}  // namespace av

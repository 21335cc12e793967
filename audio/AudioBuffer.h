#pragma once
// A bounded first-in first-out queue of PCM bytes between the decoding thread (the one
// producer) and the sound output (the one consumer, on the main thread).
//
// The producer blocks while the queue is full, so decoding never runs further ahead of
// the output than the queue's capacity and costs no CPU while it waits. The consumer never
// blocks: it takes what is there. To keep wake-ups rare, a blocked producer is woken only
// once the queue has drained to half its capacity.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class PcmQueue {
public:
    explicit PcmQueue(size_t capacityBytes);
    PcmQueue(const PcmQueue&) = delete;
    PcmQueue& operator=(const PcmQueue&) = delete;

    // Producer side. Appends all bytes, waiting for room as needed. Returns false when the
    // queue was cancelled (the bytes not yet stored are dropped).
    bool Push(const uint8_t* data, size_t count);
    // Producer side: no more bytes will come.
    void Finish();

    // Consumer side. Moves up to maxCount bytes into out and returns how many; never waits.
    // A null out discards the bytes.
    size_t Pop(uint8_t* out, size_t maxCount);
    size_t Available() const;
    // True once Finish was called and every byte has been taken.
    bool Drained() const;
    // True once Finish was called (bytes may still be waiting).
    bool Finished() const;

    // Wakes a waiting producer and makes every later Push fail at once.
    void Cancel();

    // Called on the producer's thread when bytes (or the end) arrive after a Pop found the
    // queue empty, so that a consumer that stopped asking can resume. Set before producing.
    void SetStarvedCallback(std::function<void()> callback);

    size_t Capacity() const { return storage_.size(); }

private:
    void NotifyStarvedLocked(std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::condition_variable roomAvailable_;
    std::vector<uint8_t> storage_;
    size_t head_ = 0;   // index of the oldest byte
    size_t size_ = 0;   // bytes held
    bool finished_ = false;
    bool cancelled_ = false;
    bool starved_ = false;
    std::function<void()> starvedCallback_;
};

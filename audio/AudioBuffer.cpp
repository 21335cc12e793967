#include "audio/AudioBuffer.h"

#include <algorithm>
#include <cstring>

PcmQueue::PcmQueue(size_t capacityBytes) : storage_(std::max<size_t>(capacityBytes, 1)) {}

bool PcmQueue::Push(const uint8_t* data, size_t count)
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (count > 0) {
        roomAvailable_.wait(lock, [this] { return cancelled_ || size_ < storage_.size(); });
        if (cancelled_)
            return false;
        const size_t capacity = storage_.size();
        const size_t tail = (head_ + size_) % capacity;
        const size_t room = capacity - size_;
        const size_t contiguous = std::min(room, capacity - tail);
        const size_t n = std::min(count, contiguous);
        std::memcpy(storage_.data() + tail, data, n);
        size_ += n;
        data += n;
        count -= n;
        NotifyStarvedLocked(lock);
    }
    return !cancelled_;
}

void PcmQueue::Finish()
{
    std::unique_lock<std::mutex> lock(mutex_);
    finished_ = true;
    NotifyStarvedLocked(lock);
}

void PcmQueue::NotifyStarvedLocked(std::unique_lock<std::mutex>& lock)
{
    if (!starved_ || !starvedCallback_)
        return;
    starved_ = false;
    std::function<void()> callback = starvedCallback_;
    lock.unlock();
    callback();
    lock.lock();
}

size_t PcmQueue::Pop(uint8_t* out, size_t maxCount)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t capacity = storage_.size();
    size_t taken = 0;
    while (taken < maxCount && size_ > 0) {
        const size_t contiguous = std::min(size_, capacity - head_);
        const size_t n = std::min(maxCount - taken, contiguous);
        if (out)
            std::memcpy(out + taken, storage_.data() + head_, n);
        head_ = (head_ + n) % capacity;
        size_ -= n;
        taken += n;
    }
    if (size_ == 0 && !finished_ && taken < maxCount)
        starved_ = true;
    if (taken > 0 && size_ <= capacity / 2)
        roomAvailable_.notify_one();
    return taken;
}

size_t PcmQueue::Available() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return size_;
}

bool PcmQueue::Drained() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_ && size_ == 0;
}

bool PcmQueue::Finished() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

void PcmQueue::Cancel()
{
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    roomAvailable_.notify_all();
}

void PcmQueue::SetStarvedCallback(std::function<void()> callback)
{
    std::lock_guard<std::mutex> lock(mutex_);
    starvedCallback_ = std::move(callback);
}

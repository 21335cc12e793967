#include "audio/LevelAnalysis.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// How often the thread hands its levels over.
constexpr auto kBatchInterval = std::chrono::milliseconds(100);

void Wake(int fd)
{
    const std::uint64_t one = 1;
    while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

}  // namespace

// What the thread and the main thread share: the cancel flag, and under the mutex the
// levels put aside and the outcome once the thread has ended.
struct LevelAnalysis::Shared {
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    std::mutex mutex;
    std::vector<ColumnLevels::Level> batch;
    std::optional<ColumnLevels::Outcome> outcome;
};

LevelAnalysis::LevelAnalysis(const std::string& path, int columnsPerSecond, QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()), wakeUp_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!wakeUp_.valid()) {
        finished_ = true;
        outcome_ = ColumnLevels::Outcome::Failed;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(wakeUp_.get(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &LevelAnalysis::TakeBatch);
    thread_ = std::thread([shared = shared_, path, columnsPerSecond, fd = wakeUp_.get()] {
        std::vector<ColumnLevels::Level> found;
        auto lastHandOver = std::chrono::steady_clock::now();
        auto handOver = [&] {
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->batch.insert(shared->batch.end(), found.begin(), found.end());
            }
            found.clear();
            Wake(fd);
            lastHandOver = std::chrono::steady_clock::now();
        };
        ColumnLevels levels(path, columnsPerSecond, shared->cancel);
        ColumnLevels::Outcome outcome = ColumnLevels::Outcome::Failed;
        try {
            outcome = levels.Run([&](const ColumnLevels::Level* level, std::size_t count) {
                found.insert(found.end(), level, level + count);
                if (std::chrono::steady_clock::now() - lastHandOver >= kBatchInterval)
                    handOver();
            });
        } catch (const std::exception&) {
            // Out of memory: the analysis fails; what was handed over already stays shown.
            found.clear();
        }
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->batch.insert(shared->batch.end(), found.begin(), found.end());
            shared->outcome = outcome;
        }
        Wake(fd);
    });
}

LevelAnalysis::~LevelAnalysis()
{
    Stop();
}

void LevelAnalysis::Cancel()
{
    Stop();
    if (!finished_) {
        finished_ = true;
        outcome_ = ColumnLevels::Outcome::Cancelled;
    }
}

void LevelAnalysis::Stop()
{
    shared_->cancel->store(true);
    if (thread_.joinable())
        thread_.join();
    notifier_.reset();
}

void LevelAnalysis::TakeBatch()
{
    std::uint64_t count = 0;
    while (read(wakeUp_.get(), &count, sizeof count) < 0 && errno == EINTR) {
    }
    std::vector<ColumnLevels::Level> levels;
    std::optional<ColumnLevels::Outcome> outcome;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        levels.swap(shared_->batch);
        outcome = shared_->outcome;
    }
    if (!levels.empty())
        emit LevelsArrived(levels);
    if (outcome && !finished_) {
        finished_ = true;
        outcome_ = *outcome;
        notifier_->setEnabled(false);
        if (thread_.joinable())
            thread_.join();
        emit AnalysisEnded(outcome_);
    }
}

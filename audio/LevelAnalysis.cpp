#include "audio/LevelAnalysis.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>

namespace {

// How often the thread hands its levels over.
constexpr auto kBatchInterval = std::chrono::milliseconds(100);

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
    : QObject(parent), shared_(std::make_shared<Shared>()), wakeUp_([this] { TakeBatch(); })
{
    if (!wakeUp_.valid()) {
        finished_ = true;
        outcome_ = ColumnLevels::Outcome::Failed;
        return;
    }
    thread_ = std::thread([shared = shared_, path, columnsPerSecond, wakeUp = wakeUp_.handle()] {
        std::vector<ColumnLevels::Level> found;
        auto lastHandOver = std::chrono::steady_clock::now();
        auto handOver = [&] {
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->batch.insert(shared->batch.end(), found.begin(), found.end());
            }
            found.clear();
            MainLoopWakeUp::Signal(wakeUp);
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
        MainLoopWakeUp::Signal(wakeUp);
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
    wakeUp_.Stop();
}

void LevelAnalysis::TakeBatch()
{
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
        wakeUp_.Stop();
        if (thread_.joinable())
            thread_.join();
        emit AnalysisEnded(outcome_);
    }
}

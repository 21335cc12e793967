#include "audio/HookAnalysis.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <optional>
#include <vector>

// What the thread and the main thread share: the cancel flag, and under the mutex the
// outcome and the finder once the thread has ended.
struct HookAnalysis::Shared {
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    std::mutex mutex;
    std::optional<HookAnalysis::Outcome> outcome;
    std::unique_ptr<const HookFinder> finder;
};

HookAnalysis::HookAnalysis(const std::string& path, QObject* parent)
    : QObject(parent), path_(path), shared_(std::make_shared<Shared>()),
      wakeUp_([this] { TakeResult(); })
{
    if (!wakeUp_.valid()) {
        finished_ = true;
        outcome_ = Outcome::Failed;
        return;
    }
    thread_ = std::thread([shared = shared_, path, wakeUp = wakeUp_.handle()] {
        Outcome outcome = Outcome::Failed;
        std::unique_ptr<const HookFinder> finder;
        try {
            std::vector<float> samples;
            outcome = SongDecoder(path, HookFinder::kSampleRate, shared->cancel).Run(samples);
            if (outcome == Outcome::Complete) {
                finder = std::make_unique<const HookFinder>(samples, HookFinder::kSampleRate, shared->cancel.get());
                if (shared->cancel->load()) {
                    outcome = Outcome::Cancelled;
                    finder.reset();
                }
            }
        } catch (const std::exception&) {
            // Out of memory: the analysis fails, and the window offers no suggestion.
            outcome = Outcome::Failed;
            finder.reset();
        }
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->outcome = outcome;
            shared->finder = std::move(finder);
        }
        MainLoopWakeUp::Signal(wakeUp);
    });
}

HookAnalysis::~HookAnalysis()
{
    Stop();
}

void HookAnalysis::Cancel()
{
    Stop();
    if (!finished_) {
        finished_ = true;
        outcome_ = Outcome::Cancelled;
    }
}

void HookAnalysis::Stop()
{
    shared_->cancel->store(true);
    if (thread_.joinable())
        thread_.join();
    wakeUp_.Stop();
}

void HookAnalysis::TakeResult()
{
    std::optional<Outcome> outcome;
    std::unique_ptr<const HookFinder> finder;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        outcome = shared_->outcome;
        finder = std::move(shared_->finder);
    }
    if (!outcome || finished_)
        return;
    finished_ = true;
    outcome_ = *outcome;
    finder_ = std::move(finder);
    wakeUp_.Stop();
    if (thread_.joinable())
        thread_.join();
    emit AnalysisEnded(outcome_);
}

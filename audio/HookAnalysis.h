#pragma once
// Finds the hook of a file (audio/HookFinder.h, on samples from audio/SongDecoder.h) on a
// thread of its own and hands the finished finder to the main thread, which may then ask
// it for suggestions of any ringtone length.
//
// The thread puts its result under a mutex of ours and only wakes the main thread through
// an event file descriptor; the main thread takes it under the same mutex. Nothing the
// thread makes crosses into Qt's event queue (see platform/MainThread.h for why).
//
// Destroying the object, or Cancel, breaks the analysis off at once and waits for its
// thread, which ends within a packet or a few hundred spectra; nothing is delivered after.
#include <QObject>
#include <memory>
#include <string>
#include <thread>

#include "audio/HookFinder.h"
#include "audio/SongDecoder.h"
#include "platform/MainLoopWakeUp.h"

class HookAnalysis : public QObject {
    Q_OBJECT
public:
    using Outcome = SongDecoder::Outcome;

    // Starts the analysis of the file at once. Main thread only.
    explicit HookAnalysis(const std::string& path, QObject* parent = nullptr);
    ~HookAnalysis() override;
    HookAnalysis(const HookAnalysis&) = delete;
    HookAnalysis& operator=(const HookAnalysis&) = delete;

    // Breaks the analysis off; nothing is delivered.
    void Cancel();
    // True once the analysis has ended (completed, failed or cancelled).
    bool Finished() const { return finished_; }
    // How it ended; Complete until it has.
    Outcome Result() const { return outcome_; }
    // The song's finder once the analysis has completed; null before and otherwise.
    const HookFinder* Finder() const { return finder_.get(); }
    const std::string& Path() const { return path_; }

signals:
    // The analysis has ended; Finder() holds the result when it completed.
    void AnalysisEnded(HookAnalysis::Outcome outcome);

private:
    struct Shared;
    // Takes what the thread has put aside. Main thread.
    void TakeResult();
    void Stop();

    std::string path_;
    std::shared_ptr<Shared> shared_;
    MainLoopWakeUp wakeUp_;
    std::thread thread_;
    bool finished_ = false;
    Outcome outcome_ = Outcome::Complete;
    std::unique_ptr<const HookFinder> finder_;
};

#pragma once
// Finds the column levels of a file (audio/ColumnLevels.h) on a thread of its own and
// hands them to the main thread in batches, about ten times a second, so that a strip can
// fill in from the left while the window keeps answering.
//
// The thread puts each batch under a mutex of ours and only wakes the main thread through
// an event file descriptor; the main thread takes the batch under the same mutex. Nothing
// the thread makes crosses into Qt's event queue (see platform/MainThread.h for why).
//
// Destroying the object, or Cancel, breaks the analysis off at once and waits for its
// thread, which ends within a packet; no batch is delivered after that.
#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/ColumnLevels.h"
#include "platform/MainLoopWakeUp.h"

class LevelAnalysis : public QObject {
    Q_OBJECT
public:
    // Starts the analysis of the file at once. Main thread only.
    LevelAnalysis(const std::string& path, int columnsPerSecond, QObject* parent = nullptr);
    ~LevelAnalysis() override;
    LevelAnalysis(const LevelAnalysis&) = delete;
    LevelAnalysis& operator=(const LevelAnalysis&) = delete;

    // Breaks the analysis off; nothing more is delivered.
    void Cancel();
    // True once the analysis has ended (completed, failed or cancelled) and all of its
    // levels were delivered.
    bool Finished() const { return finished_; }
    // How it ended; Complete until it has.
    ColumnLevels::Outcome Outcome() const { return outcome_; }

signals:
    // The levels of the next columns, in order from column 0.
    void LevelsArrived(const std::vector<ColumnLevels::Level>& levels);
    // The analysis has ended; after the last LevelsArrived.
    void AnalysisEnded(ColumnLevels::Outcome outcome);

private:
    struct Shared;
    // Takes what the thread has put aside and passes it on. Main thread.
    void TakeBatch();
    void Stop();

    std::shared_ptr<Shared> shared_;
    MainLoopWakeUp wakeUp_;
    std::thread thread_;
    bool finished_ = false;
    ColumnLevels::Outcome outcome_ = ColumnLevels::Outcome::Complete;
};

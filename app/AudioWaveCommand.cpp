// The strip's wave from the audio: once a file is open and its strip sized, its column
// levels are found on a thread of their own and fill the strip in from the left; until
// they arrive, and wherever they cannot be found, the strip shows its pseudo-random wave.
// The strip's context menu turns the audio's wave on and off; the choice is kept in the
// user's settings.
#include <QAction>
#include <QFile>

#include "app/UserSettings.h"
#include "app/mainunit.h"
#include "audio/LevelAnalysis.h"
#include "strip/LevelWave.h"
#include "strip/WaveRender.h"

namespace {

const char* const kShowAudioWaveKey = "Strip/ShowAudioWave";

}  // namespace

void TMainForm::CreateAudioWaveMenu()
{
    levelWave_ = std::make_unique<LevelWave>(*FRender);
    actShowAudioWave = new QAction("Show the audio's wave", this);
    actShowAudioWave->setObjectName("actShowAudioWave");
    actShowAudioWave->setCheckable(true);
    actShowAudioWave->setChecked(UserSettings().value(kShowAudioWaveKey, true).toBool());
    levelWave_->SetShown(actShowAudioWave->isChecked());
    connect(actShowAudioWave, &QAction::toggled, this, &TMainForm::ShowAudioWaveToggled);
    imgWave->addAction(actShowAudioWave);
    imgWave->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TMainForm::ShowAudioWaveToggled(bool checked)
{
    UserSettings().setValue(kShowAudioWaveKey, checked);
    if (levelWave_)
        levelWave_->SetShown(checked);
}

void TMainForm::StartLevelAnalysis(const QString& path)
{
    StopLevelAnalysis();
    if (!levelWave_)
        return;
    levelWave_->Restart();
    levelAnalysis_ = std::make_unique<LevelAnalysis>(QFile::encodeName(path).toStdString(),
                                                     TWaveRender::ColumnsPerSecond);
    connect(levelAnalysis_.get(), &LevelAnalysis::LevelsArrived, this,
            [this](const std::vector<ColumnLevels::Level>& levels) { levelWave_->Append(levels); });
}

void TMainForm::StopLevelAnalysis()
{
    levelAnalysis_.reset();
}

// The Open command: the user picks an audio file, the media player opens it, its
// properties are written into the five labels, and the strip is sized to its length
// (five columns a second). MP3 files are examined by the MPEG audio reader; every
// other file gets only its length from the player.
//
// While the reader scans, the window's events keep being handled, so a second Open can
// start in the middle of the first. The later open wins: once its file is open in the
// player it cancels the earlier scan, and the earlier command then leaves the labels,
// the strip and the source path alone, so that all of them and the player describe one
// and the same file. Closing the window cancels a scan the same way.
#include <QScopeGuard>
#include <QTime>

#include "app/mainunit.h"
#include "audio/MPGTools.h"
#include "audio/MediaPlayer.h"
#include "platform/Dialogs.h"
#include "platform/FileExtension.h"
#include "platform/LocaleTime.h"
#include "strip/WaveRender.h"

namespace {

const char* const kOpenFilter =
    "Mp3 Music Files (*.mp3)|*.mp3|Wave Files (*.wav)|*.wav|WMA Files (*.wma)|*.wma|All Files (*.*)|*.*";
constexpr int32_t kMillisecondsPerSecond = 1000;

}  // namespace

void TMainForm::btnOpenClick(QObject*)
{
    const auto answer = Dialogs::Current().OpenFile(this, {kOpenFilter, QString(), false});
    if (!answer)
        return;
    const QString path = answer->path;
    // The levels of the file shown so far are no longer wanted.
    StopLevelAnalysis();
    MediaPlayer1->SetFileName(path);
    // The player opens on a thread of its own and handles events meanwhile; an open broken
    // off by a later open or the window's close leaves everything as it was.
    if (!MediaPlayer1->Open())
        return;
    // The player now holds this file: an earlier open still scanning gives way to it.
    if (scanningReader_)
        scanningReader_->Cancel();
    if (!LoadFileInfo(path))
        return;
    FSourceFile = path;
    imgAd->hide();
    ScrollBoxWave->show();
    lblFilename->SetHint(lblFilename->Caption());
}

bool TMainForm::LoadFileInfo(const QString& path)
{
    int32_t seconds = 0;
    QString sampleRate = "Sample Rate: ", length = "Time Length: ", bitrate = "Bitrate: ", channel = "Channel: ";
    // Compared byte for byte: only ".mp3" in lower case is examined as MPEG audio.
    if (FileExtension(path.toStdString()) == ".mp3") {
        // The reader pumps the window's events and reports a failure with the pump and
        // error box that start-up installed as the readers' defaults.
        TMPEGAudio reader;
        // The window knows this reader only while it scans: on every way out of the
        // scan, an error included, the reader of an outer open (if any) takes its place.
        TMPEGAudio* const outer = scanningReader_;
        scanningReader_ = &reader;
        {
            const auto restore = qScopeGuard([this, outer] { scanningReader_ = outer; });
            reader.SetFileName(path.toStdString());
        }
        if (reader.Cancelled() || !FRender)
            return false;
        seconds = reader.Duration();
        sampleRate += QString::number(reader.SampleRate());
        length += LongTimeText(QTime(0, 0).addSecs(reader.Duration()));
        bitrate += QString::fromStdString(reader.BitRateText());
        channel += QString::fromStdString(reader.StereoText());
    } else {
        seconds = MediaPlayer1->Length() / kMillisecondsPerSecond;
        length += QString::number(seconds);
    }
    lblFilename->SetCaption("File Name: " + path);
    lblSampleRate->SetCaption(sampleRate);
    lblLength->SetCaption(length);
    lblBitrate->SetCaption(bitrate);
    lblChannel->SetCaption(channel);

    const int32_t columns = seconds * TWaveRender::ColumnsPerSecond;
    // The control is as wide as the strip, which sets the scroll range; it draws only
    // the columns its viewport shows.
    imgWave->resize(columns, imgWave->height());
    FRender->SetWaveWidth(columns);
    StartLevelAnalysis(path);
    return true;
}

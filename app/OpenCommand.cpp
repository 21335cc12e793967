// The Open command: the user picks an audio file, the media player opens it, its
// properties are written into the five labels, and the strip is sized to its length
// (five columns a second). MP3 files (".mp3" in any case) are examined by the MPEG
// audio reader; every other file gets its properties from the player's decoder.
//
// The new file opens beside the one already open: the player switches to it only once it
// has opened, so a file that cannot be read leaves the earlier one shown and playable.
// The label shows the file's whole path in its hint and, where the path is too long for
// it, shortens the folders in the middle so that the file's name shows.
//
// Markers that lie beyond the end of a shorter file move to its start (SelectionFit.h).
//
// Everything after the dialog is OpenPath, through which the command line and a dropped
// file open as well (OpenFromOutside.cpp).
//
// While the reader scans, the window's events keep being handled, so a second Open can
// start in the middle of the first. The later open wins: once its file is open in the
// player it cancels the earlier scan, and the earlier command then leaves the labels,
// the strip and the source path alone, so that all of them and the player describe one
// and the same file. Closing the window cancels a scan the same way.
#include <QFileInfo>
#include <QScopeGuard>
#include <QTime>

#include "app/DialogStart.h"
#include "app/OpenableFiles.h"
#include "app/mainunit.h"
#include "audio/MPGTools.h"
#include "audio/MediaPlayer.h"
#include "media/FfmpegLibraries.h"
#include "platform/Dialogs.h"
#include "platform/FileExtension.h"
#include "platform/LocaleTime.h"
#include "strip/SelectionFit.h"
#include "strip/WaveRender.h"

namespace {

const char* const kOpenFilter =
    "Mp3 Music Files (*.mp3)|*.mp3|Wave Files (*.wav)|*.wav|WMA Files (*.wma)|*.wma|All Files (*.*)|*.*";

// The entries above, which keep their order and the first of them selected, and one for
// every kind of file that the decoder reads.
QString OpenFilter()
{
    return QString(kOpenFilter) + '|' + AllAudioFilesFilterEntry();
}

constexpr int32_t kMillisecondsPerSecond = 1000;
constexpr int kBitsPerKilobit = 1000;
const char* const kFileNamePrefix = "File Name: ";

// The decoder's reason why a file is not audio, in a sentence that names the file:
// "x.mp3" is not an audio file that Tallowick can read (invalid data found when
// processing input).
QString UnreadableFileText(const QString& path, const QString& decoderReason)
{
    QString reason = decoderReason.trimmed();
    while (reason.endsWith('.'))
        reason.chop(1);
    if (!reason.isEmpty())
        reason[0] = reason[0].toLower();
    return QString("\"%1\" is not an audio file that Tallowick can read (%2).").arg(QFileInfo(path).fileName(), reason);
}

// As the MPEG reader names its modes; a file of more channels shows their number.
QString ChannelText(int channels)
{
    if (channels == 1)
        return "Mono";
    if (channels == 2)
        return "Stereo";
    return QString::number(channels);
}

// In kbit/s as the MPEG reader gives it; nothing where the file does not tell it.
QString BitRateText(int64_t bitsPerSecond)
{
    return bitsPerSecond > 0 ? QString::number(bitsPerSecond / kBitsPerKilobit) : QString();
}

}  // namespace

void TMainForm::btnOpenClick(QObject*)
{
    // While the user picks a file, the decoder's libraries are loaded in the background.
    media::StartLoadingFfmpeg();
    const auto answer = Dialogs::Current().OpenFile(this, {OpenFilter(), QString(), false, OpenDialogStart()});
    if (!answer)
        return;
    RememberOpenDialogAnswer(answer->path);
    OpenPath(answer->path);
}

void TMainForm::OpenPath(const QString& path)
{
    // The player opens on a thread of its own and handles events meanwhile; an open broken
    // off by a later open or the window's close leaves everything as it was, and so does
    // a file that fails to open.
    try {
        if (!MediaPlayer1->OpenReplacing(path))
            return;
    } catch (const EMCIDeviceError& error) {
        if (!error.IsDecoderReason())
            throw;
        throw EMCIDeviceError(UnreadableFileText(path, QString::fromUtf8(error.what())).toStdString());
    }
    // The player now holds this file: the levels of the file shown so far are no longer
    // wanted, and an earlier open still scanning gives way to it.
    StopLevelAnalysis();
    StopHookAnalysis();
    if (scanningReader_)
        scanningReader_->Cancel();
    if (!LoadFileInfo(path))
        return;
    FSourceFile = path;
    imgAd->hide();
    ScrollBoxWave->show();
    lblFilename->SetHint(lblFilename->Caption());
    lblFilename->SetMiddleElision(true, int(QString(kFileNamePrefix).size()), int(QFileInfo(path).fileName().size()));
}

bool TMainForm::LoadFileInfo(const QString& path)
{
    int32_t seconds = 0;
    QString sampleRate = "Sample Rate: ", length = "Time Length: ", bitrate = "Bitrate: ", channel = "Channel: ";
    // ".mp3" in any case is examined as MPEG audio.
    if (HasExtension(path.toStdString(), ".mp3")) {
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
        sampleRate += QString::number(MediaPlayer1->SampleRate());
        length += LongTimeText(QTime(0, 0).addSecs(seconds));
        bitrate += BitRateText(MediaPlayer1->BitRate());
        channel += ChannelText(MediaPlayer1->Channels());
    }
    lblFilename->SetCaption(kFileNamePrefix + path);
    lblSampleRate->SetCaption(sampleRate);
    lblLength->SetCaption(length);
    lblBitrate->SetCaption(bitrate);
    lblChannel->SetCaption(channel);

    const int32_t columns = seconds * TWaveRender::ColumnsPerSecond;
    // The control is as wide as the strip, which sets the scroll range; it draws only
    // the columns its viewport shows.
    imgWave->resize(columns, imgWave->height());
    FRender->SetWaveWidth(columns);
    if (const auto moved = SelectionMovedIntoFile({FRender->BeginPos(), FRender->EndPos()}, columns)) {
        FRender->SetBeginPos(moved->begin);
        FRender->SetEndPos(moved->end);
    }
    StartLevelAnalysis(path);
    StartHookAnalysis(path);
    return true;
}

#include "app/OpenableFiles.h"

#include <QFileInfo>

const QStringList& OpenableAudioExtensions()
{
    // Every one of them is read by a demuxer that the player and the encoder tool accept
    // (media/SourceInput.cpp): Ogg holds Vorbis and Opus, MP4 holds M4A, ADTS holds AAC.
    static const QStringList extensions = {"mp3", "wav", "wma", "flac", "ogg", "oga", "opus", "m4a", "aac", "aiff"};
    return extensions;
}

bool IsOpenableAudioFile(const QString& path)
{
    return OpenableAudioExtensions().contains(QFileInfo(path).suffix().toLower());
}

QString AllAudioFilesFilterEntry()
{
    QStringList patterns;
    for (const QString& extension : OpenableAudioExtensions())
        patterns << "*." + extension;
    const QString list = patterns.join(';');
    return "All Audio Files (" + list + ")|" + list;
}

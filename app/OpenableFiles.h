#pragma once
// The kinds of audio file that the window opens, by their extension: the Open dialog's
// "All Audio Files" entry lists them, and a file dropped on the window is taken only
// when it is one of them.
#include <QString>
#include <QStringList>

// "mp3", "wav", ... in lower case, without the dot.
const QStringList& OpenableAudioExtensions();
// Whether the path's extension, in any case, is one of them.
bool IsOpenableAudioFile(const QString& path);
// The Open dialog's entry for all of them: "All Audio Files (*.mp3;...)|*.mp3;...".
QString AllAudioFilesFilterEntry();

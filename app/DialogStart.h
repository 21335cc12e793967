#pragma once
// Where the Open and Save dialogs start: each remembers the folder that it was last
// answered in, kept in the user's settings. The Save dialog proposes a name made from the
// song's own name that is never the song itself ("song.mp3" -> "song (ringtone).mp3"),
// in its remembered folder or, before any save, in the song's folder.
#include <QString>

// The folder the Open dialog last chose from; empty before the first open.
QString OpenDialogStart();
void RememberOpenDialogAnswer(const QString& chosenPath);

// "<folder>/<song's base name> (ringtone)<extension>".
QString ProposedRingtonePath(const QString& folder, const QString& sourcePath, const QString& extension);
// The path the Save dialog proposes for a ringtone cut from sourcePath.
QString SaveDialogStart(const QString& sourcePath, const QString& extension);
void RememberSaveDialogAnswer(const QString& chosenPath);

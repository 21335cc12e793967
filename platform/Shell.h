#pragma once
// Opening a folder in the desktop's file manager. Tests install their own opener.
#include <QString>
#include <functional>

void OpenFolderInFileManager(const QString& folder);
// Replaces the opener (an empty function restores the desktop's).
void SetFolderOpener(std::function<void(const QString&)> opener);

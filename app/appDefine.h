#pragma once
// Process-wide state shared by the window and the export worker.
#include <QString>
#include <atomic>

struct TApplicationInfo {
    QString Homepage;   // shown in the About dialog; may be empty
};

// The work folder where the encoder tool is written, ending in "/". Set once at
// start-up, before any export worker exists, and never changed after that.
extern QString WorkDir;
// Whether WorkDir passed the private-folder checks; nothing is written into or run
// from a folder that did not.
extern bool WorkDirTrusted;
// True while an export worker exists: set by the window when it starts one, cleared by
// the worker on its own thread when it ends.
extern std::atomic<bool> IsConverting;
extern TApplicationInfo AppInfo;

// The name of the work folder under the temporary directory.
inline const char* const kWorkFolderName = "Quimbrel";
// The encoder tool's resource (type and name); its file name is the export's kToolFileName.
inline const char* const kToolResourceType = "exefile";
inline const char* const kToolResourceName = "av";
// The home page shown when config.ini names none.
inline const char* const kDefaultHomepage = "https://tallowick.org/";

// Writes the bytes of the named resource (type and name without regard to case) to
// DestFile, with its run bit, replacing any earlier file only once the new one is
// complete; a file of ours that already holds exactly these bytes with the run bit is
// left as it is. True on success; false when the resource is missing or the file cannot
// be written, in which case an earlier file stays as it was. This runs at every start,
// before anything runs the file, so start-up does not wait for it to reach the disk.
bool ExtractResourceToFile(const QString& ResType, const QString& ResName, const QString& DestFile);

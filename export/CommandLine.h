#pragma once
// The encoder tool's command lines, one for each kind of ringtone. Each template has four slots: the source, the
// start, the length and the target (in the template's double quotes). The command runs
// as an argument vector, the template's words with each slot one whole argument, so a
// path with blanks, quotes or any other character is never split and never reaches a
// shell; the text form is the same line as one string, for showing and comparing.
#include <string>
#include <vector>

// The tool's file name in the work folder, and the name it is given on its command line.
inline const char* const kToolFileName = "av";

extern const char* const kMp3CommandTemplate;
extern const char* const kAmrCommandTemplate;
extern const char* const kM4rCommandTemplate;
extern const char* const kOggCommandTemplate;

// What the user asked to be done to the sound besides cutting it. With neither, the
// command line is the template's alone.
struct ExportOptions {
    bool fadeInOut = false;   // each end fades over half a second
    bool makeLoud = false;    // the selection is made -14 LUFS loud
};

struct ToolCommandLine {
    std::string text;
    std::vector<std::string> arguments;   // arguments[0] is the tool's name, "av"
};

// Fills the template's slots in order: source, start time, cut length, target. The
// options' own words ("-fade 500", "-loudness -14") come just before the target.
ToolCommandLine FillCommandTemplate(const char* commandTemplate, const std::string& source, const std::string& startTime,
                                 const std::string& cutLength, const std::string& target,
                                 const ExportOptions& options = {});

// The template for a target, chosen by its extension in any case: ".mp3" (".MP3"),
// ".amr" (".Amr"), ".m4r" or ".ogg"; null for any other extension (".wav", none).
const char* CommandTemplateFor(const std::string& target);

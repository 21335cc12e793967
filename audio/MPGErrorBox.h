#pragma once
// The error box of the MPEG audio reader: the default answer to a failed load.
// The application installs it once at start-up:
//     TMPEGAudio::SetDefaultReadErrorHandler(ShowReadErrorBox);
#include "audio/MPGTools.h"

#include <cstdint>

// Shows a modal box with the caption "Error", an error icon, the text
// "Error openning file: " followed by the reader's FileName, and the buttons Cancel, Retry
// and Ignore in that order. Returns TMPEGAudio::mrCancel (2), mrRetry (4) or mrIgnore (5);
// closing the box counts as Cancel.
std::uint16_t ShowReadErrorBox(const TMPEGAudio& reader);

// Makes every new reader pump the window's pending events while it scans and answer a
// failed load with the error box: what the window's readers use.
void InstallWindowReaderDefaults();

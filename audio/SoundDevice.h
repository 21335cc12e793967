#pragma once
// The sound device output, kept in a module of its own (audio/SoundModule.cpp) that is
// loaded on the first playback through a device, so that Qt Multimedia and the sound
// server's client libraries are not loaded when the window starts.
//
// The module is stored inside the program (the Qt resource ":/modules/sound") and opened
// from memory (audio/AudioOutput.cpp), so the build tree, the tests and the installed
// program all find it. Program and module meet only through this header: an interface
// whose functions are all virtual and inline, and one C function.
#include <cstdint>

class PcmQueue;

class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    // As AudioOutput's functions of the same names.
    virtual bool Start(PcmQueue* queue, int sampleRate, int channels, int64_t expectedFrames) = 0;
    virtual void Stop() = 0;
    virtual int64_t PlayedFrames() = 0;
    virtual bool Finished() = 0;
    virtual bool Failed() = 0;
};

// The module's one function, by this name: the system's default sound output (or its
// first) for 16-bit PCM at *sampleRate and *channels, which it changes to the device's
// preferred rate and channels when the device cannot take them; null when there is no
// sound output or none that takes either format. Main thread only.
using OpenSoundDeviceFunction = SoundDevice* (*)(int* sampleRate, int* channels);
inline constexpr const char* kOpenSoundDeviceName = "TallowickOpenSoundDevice";

// How much audio the sound server is asked to hold ahead, in milliseconds. The sink is
// topped up from this thread's event loop every few tens of milliseconds; what it holds
// must outlast the loop being held up on a busy machine, or the sound breaks off and
// resumes with a gap. Positions come from what the server has played, so holding more
// moves nothing.
inline constexpr int kDeviceBufferMs = 500;

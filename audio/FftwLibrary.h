#pragma once
// FFTW is opened on the first hook analysis, not when the program starts. FftwLibrary.cpp
// defines the FFTW functions the hook finder calls, with the very signatures of
// <fftw3.h>; each passes its call on to the function of that name in libfftw3f.so.3,
// opened by LoadFftw. A call that reaches FFTW before any load loads it itself, and
// ends the program with a one-line message only if it cannot be loaded.
#include <string>

namespace audio {

// Opens the library and finds every function once, from any thread. True once loaded;
// otherwise false, with the reason in *error, and every later call fails the same way.
bool LoadFftw(std::string* error = nullptr);

}  // namespace audio

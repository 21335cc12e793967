#include "audio/FftwLibrary.h"

#include "base/SharedLibrary.h"

#include <fftw3.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

// Every FFTW function the hook finder calls: its result, its name, its parameters and
// the arguments that pass them on.
#define TALLOWICK_FFTW_FUNCTIONS(X)                                                                        \
    X(void*, fftwf_malloc, (size_t a0), (a0))                                                               \
    X(void, fftwf_free, (void* a0), (a0))                                                                   \
    X(fftwf_plan, fftwf_plan_dft_r2c_1d, (int a0, float* a1, fftwf_complex* a2, unsigned a3), (a0, a1, a2, a3)) \
    X(void, fftwf_destroy_plan, (fftwf_plan a0), (a0))                                                      \
    X(void, fftwf_execute, (const fftwf_plan a0), (a0))

namespace audio {

namespace {

// The single-precision library of the major version that <fftw3.h> belongs to.
constexpr const char* kLibraryName = "libfftw3f.so.3";

enum Function {
#define TALLOWICK_FFTW_INDEX(result, name, parameters, arguments) k_##name,
    TALLOWICK_FFTW_FUNCTIONS(TALLOWICK_FFTW_INDEX)
#undef TALLOWICK_FFTW_INDEX
    kFunctionCount
};

constexpr const char* kFunctionNames[] = {
#define TALLOWICK_FFTW_NAME(result, name, parameters, arguments) #name,
    TALLOWICK_FFTW_FUNCTIONS(TALLOWICK_FFTW_NAME)
#undef TALLOWICK_FFTW_NAME
};

// What the first load found. The addresses are written before loaded is set, and read
// only after it is seen set.
struct LoadState {
    std::mutex mutex;
    bool tried = false;
    std::string error;
    std::array<void*, kFunctionCount> addresses{};
    std::atomic<bool> loaded{false};
};

LoadState& State()
{
    static LoadState state;
    return state;
}

// The library stays open for the life of the process.
std::string Load(std::array<void*, kFunctionCount>& addresses)
{
    std::string why;
    void* library = base::OpenSharedLibrary(kLibraryName, why);
    if (!library)
        return why;
    for (int i = 0; i < kFunctionCount; ++i) {
        addresses[i] = base::FindSharedFunction(library, kLibraryName, kFunctionNames[i], why);
        if (!addresses[i])
            return why;
    }
    return {};
}

void* Address(Function function)
{
    LoadState& state = State();
    if (!state.loaded.load(std::memory_order_acquire)) {
        std::string error;
        if (!LoadFftw(&error)) {
            std::fprintf(stderr, "FFTW cannot be loaded (%s); %s cannot be called.\n", error.c_str(),
                         kFunctionNames[function]);
            std::abort();
        }
    }
    return state.addresses[function];
}

}  // namespace

bool LoadFftw(std::string* error)
{
    LoadState& state = State();
    if (state.loaded.load(std::memory_order_acquire))
        return true;
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.tried) {
        state.tried = true;
        state.error = Load(state.addresses);
        if (state.error.empty())
            state.loaded.store(true, std::memory_order_release);
    }
    if (state.error.empty())
        return true;
    if (error)
        *error = state.error;
    return false;
}

}  // namespace audio

// The functions themselves, declared by <fftw3.h> above: a definition whose parameters or
// result differ from the header's does not compile.
#define TALLOWICK_FFTW_FORWARD(result, name, parameters, arguments)                          \
    extern "C" result name parameters                                                      \
    {                                                                                      \
        return reinterpret_cast<decltype(&name)>(audio::Address(audio::k_##name)) arguments; \
    }
TALLOWICK_FFTW_FUNCTIONS(TALLOWICK_FFTW_FORWARD)
#undef TALLOWICK_FFTW_FORWARD

#include "audio/AudioOutput.h"

#include "audio/AudioBuffer.h"
#include "audio/SoundDevice.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

// ---- null output

bool NullAudioOutput::Start(PcmQueue* queue, int sampleRate, int channels, int64_t)
{
    queue_ = queue;
    sampleRate_ = sampleRate;
    frameBytes_ = channels * int(sizeof(int16_t));
    consumedFrames_ = 0;
    stalledNs_ = 0;
    queue_->SetStarvedCallback(nullptr);
    clock_.start();
    return true;
}

void NullAudioOutput::Stop()
{
    queue_ = nullptr;
}

void NullAudioOutput::CatchUp()
{
    if (!queue_)
        return;
    const int64_t elapsedNs = clock_.nsecsElapsed() - stalledNs_;
    const int64_t dueFrames = elapsedNs * sampleRate_ / 1000000000;
    const int64_t wanted = dueFrames - consumedFrames_;
    if (wanted <= 0)
        return;
    const int64_t got = int64_t(queue_->Pop(nullptr, size_t(wanted) * size_t(frameBytes_))) / frameBytes_;
    consumedFrames_ += got;
    if (got < wanted && !queue_->Finished()) {
        // The queue ran dry before its end: the time without audio is not counted as heard.
        stalledNs_ += (wanted - got) * 1000000000 / sampleRate_;
    }
}

int64_t NullAudioOutput::PlayedFrames()
{
    CatchUp();
    return consumedFrames_;
}

bool NullAudioOutput::Finished()
{
    CatchUp();
    return queue_ && queue_->Drained();
}

// ---- device output

// The resource of the embedded module, made known outside any namespace as Qt wants.
static void InitSoundResource()
{
    Q_INIT_RESOURCE(sound);
}

namespace {

// The embedded module's bytes, written into an anonymous file in memory and opened from
// there: no file is written to disk and none needs to be installed.
OpenSoundDeviceFunction LoadSoundModule(std::string& error)
{
    InitSoundResource();
    QFile module(QStringLiteral(":/modules/sound"));
    if (!module.open(QIODevice::ReadOnly)) {
        error = "the sound module is missing from the program";
        return nullptr;
    }
    const QByteArray bytes = module.readAll();
    const int fd = memfd_create("tallowick-sound", MFD_CLOEXEC);
    if (fd < 0) {
        error = std::string("memfd_create: ") + std::strerror(errno);
        return nullptr;
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = std::string("writing the sound module: ") + std::strerror(errno);
            close(fd);
            return nullptr;
        }
        written += n;
    }
    // The library stays loaded for the life of the process; its mapping outlives the file.
    void* handle = dlopen(("/proc/self/fd/" + std::to_string(fd)).c_str(), RTLD_NOW | RTLD_LOCAL);
    close(fd);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "the sound module cannot be opened";
        return nullptr;
    }
    auto open = reinterpret_cast<OpenSoundDeviceFunction>(dlsym(handle, kOpenSoundDeviceName));
    if (!open)
        error = "the sound module has no " + std::string(kOpenSoundDeviceName);
    return open;
}

// The module's function, loaded on the first call; null for good when it cannot be.
OpenSoundDeviceFunction SoundModule()
{
    static const OpenSoundDeviceFunction open = [] {
        std::string error;
        const OpenSoundDeviceFunction loaded = LoadSoundModule(error);
        if (!loaded)
            std::fprintf(stderr, "Sound output unavailable: %s\n", error.c_str());
        return loaded;
    }();
    return open;
}

}  // namespace

std::unique_ptr<DeviceAudioOutput> DeviceAudioOutput::Open(int& sampleRate, int& channels, QObject* parent)
{
    const OpenSoundDeviceFunction open = SoundModule();
    if (!open)
        return nullptr;
    int rate = sampleRate;
    int count = channels;
    std::unique_ptr<SoundDevice> device(open(&rate, &count));
    if (!device)
        return nullptr;
    sampleRate = rate;
    channels = count;
    return std::unique_ptr<DeviceAudioOutput>(new DeviceAudioOutput(std::move(device), parent));
}

DeviceAudioOutput::DeviceAudioOutput(std::unique_ptr<SoundDevice> device, QObject* parent)
    : AudioOutput(parent), device_(std::move(device))
{
}

DeviceAudioOutput::~DeviceAudioOutput() = default;

bool DeviceAudioOutput::Start(PcmQueue* queue, int sampleRate, int channels, int64_t expectedFrames)
{
    return device_->Start(queue, sampleRate, channels, expectedFrames);
}

void DeviceAudioOutput::Stop()
{
    device_->Stop();
}

int64_t DeviceAudioOutput::PlayedFrames()
{
    return device_->PlayedFrames();
}

bool DeviceAudioOutput::Finished()
{
    return device_->Finished();
}

bool DeviceAudioOutput::Failed()
{
    return device_->Failed();
}

#pragma once
// TMPEGAudio: examines an MPEG audio file (MPEG 1, 2 and 2.5, Layers I to III) and reports
// its properties: sample rate, playing time, bit rate or that the bit rate varies (a Xing
// header in the first frame), channel mode, the other frame-header fields, and the ID3v1 tag
// at the end of the file. It only reads the file.
//
// The first frame header is found by sliding a four-byte window through the file; it is
// accepted only when a second valid header stands exactly one frame length further on.
// The file is read through a buffer, and the scan jumps straight to the next byte that can
// start a header (0xFF followed by three set bits); the results are those of a scan that
// tests every byte position.
//
// Plain C++: no GUI. A program with a window reaches the reader through two callbacks:
//  - the message pump, called while a scan runs (at file positions that are multiples of
//    300, at most once per PumpInterval); it returns false to end the scan at once;
//  - the read error handler, called when a load fails; its answer mrRetry reads the file
//    again, any other answer becomes the result of Load.
// Both have process-wide defaults (SetDefaultMessagePump, SetDefaultReadErrorHandler) that
// every new reader copies; set them once at start-up (MPGErrorBox.h has the ones that
// handle the pending Qt events and ask the user). Without them a reader neither pumps nor
// reports.
//
// Ending a scan early:
//  - the pump returns false, or Cancel() is called (from inside the pump or the error
//    handler, or from another thread);
//  - the scan then stops at its next pump point, closes the file, does NOT call the error
//    handler and makes Load return -1 with Cancelled() true and the data of a scan that
//    found nothing.
// After the pump has returned false (or Cancel was called) the reader calls neither
// callback again during that load. The reader touches nothing of its caller's but the two
// callbacks; whatever they reach must outlive the load, so a caller must not destroy it
// from inside the pump.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class TMPEGAudio;

// Answers a failed load; receives the reader (read access to every field). The codes are
// those of the error box: mrCancel, mrRetry, mrIgnore.
using ReadErrorHandlerFn = std::function<std::uint16_t(const TMPEGAudio&)>;

// Handles the pending window events during a scan; returns true to go on scanning,
// false to end the scan at once.
using MessagePumpFn = std::function<bool()>;

class TMPEGAudio {
public:
    // Answers of the error handler.
    static constexpr std::uint16_t mrCancel = 2;
    static constexpr std::uint16_t mrRetry = 4;
    static constexpr std::uint16_t mrIgnore = 5;

    // The longest time between two calls of the message pump while a scan runs, unless
    // changed with SetPumpInterval.
    static constexpr std::chrono::milliseconds DefaultPumpInterval{4};

    // All data fields empty (zeros, false, empty texts); FirstFramePos 0, AutoLoad true,
    // ReadErrorHandler and MessagePump copied from the process-wide defaults.
    TMPEGAudio();
    TMPEGAudio(const TMPEGAudio&) = delete;
    TMPEGAudio& operator=(const TMPEGAudio&) = delete;

    // Process-wide defaults that each new reader copies. Set them at start-up, before any
    // reader is made; the reader library itself knows no GUI, so both start out empty.
    static void SetDefaultReadErrorHandler(ReadErrorHandlerFn handler);
    static ReadErrorHandlerFn DefaultReadErrorHandler();
    static void SetDefaultMessagePump(MessagePumpFn pump);
    static MessagePumpFn DefaultMessagePump();

    // Stores the name; with AutoLoad on, runs Load at once (its result is dropped).
    // The name is kept whole: it is never cut at any length.
    void SetFileName(const std::string& name);
    // The stored name; after a load, its absolute path.
    const std::string& FileName() const { return fileName_; }

    // Reads the file named by FileName into the data fields. Returns 0 on success, -1 on
    // failure (no such file, no header pair, a short read, a Xing frame count of 0, or a
    // cancelled scan), errno when the file exists but cannot be opened, or, whenever the
    // result is not 0 and ReadErrorHandler is set, the handler's answer (mrRetry reads the
    // file again without resetting the data first). A cancelled scan never calls the handler.
    std::int32_t Load();
    // Sets every data field to its reset value; FileName becomes empty. FirstFramePos,
    // AutoLoad and the callbacks stay.
    void ResetData();
    // Length > 5, a known version and layer, a sample rate, and a bit rate > 0 or -1 (VBR).
    bool IsValid() const;
    // Decodes a frame header (four file bytes, the first one in bits 31..24) into the
    // header fields and returns IsValid. Duration (from Length) and FrameLength follow
    // from the header; Length and the tag fields are left alone.
    bool DecodeHeader(std::uint32_t header);

    // Duration as a time of day: a fraction of a day (12 hours = 0.5).
    double DurationTime() const;
    // "VBR" for a variable bit rate, otherwise the bit rate in decimal digits.
    std::string BitRateText() const;
    // "Mono" for a single channel, otherwise "Stereo".
    std::string StereoText() const;

    bool AutoLoad() const { return autoLoad_; }
    void SetAutoLoad(bool value) { autoLoad_ = value; }
    const ReadErrorHandlerFn& ReadErrorHandler() const { return readErrorHandler_; }
    void SetReadErrorHandler(ReadErrorHandlerFn handler) { readErrorHandler_ = std::move(handler); }
    const MessagePumpFn& MessagePump() const { return messagePump_; }
    void SetMessagePump(MessagePumpFn pump) { messagePump_ = std::move(pump); }
    // Zero makes the pump run at every file position that is a multiple of 300.
    std::chrono::milliseconds PumpInterval() const { return pumpInterval_; }
    void SetPumpInterval(std::chrono::milliseconds interval) { pumpInterval_ = interval; }

    // Ends the scan in progress at its next pump point (see the top of this file). May be
    // called from inside the pump or the error handler, or from another thread.
    void Cancel() { cancelRequested_.store(true, std::memory_order_relaxed); }
    // True when the last load was ended by Cancel or by the pump returning false.
    bool Cancelled() const { return cancelled_; }

    // The byte offset of the first header of the accepted pair; Length + 1 when a scan
    // found none.
    std::int64_t FirstFramePos() const { return firstFramePos_; }

    // The data fields. Texts are the bytes as stored in the file (ID3v1 texts are Latin-1).
    const std::string& TagHeader() const { return tagHeader_; }
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }
    const std::string& Album() const { return album_; }
    const std::string& Year() const { return year_; }
    const std::string& Comment() const { return comment_; }
    std::uint8_t Genre() const { return genre_; }
    std::uint8_t Track() const { return track_; }
    std::uint16_t Duration() const { return duration_; }
    std::int64_t Length() const { return length_; }
    std::uint8_t Version() const { return version_; }
    std::uint8_t Layer() const { return layer_; }
    std::int32_t SampleRate() const { return sampleRate_; }
    std::int32_t BitRate() const { return bitRate_; }
    std::uint8_t Mode() const { return mode_; }
    bool Copyright() const { return copyright_; }
    bool Original() const { return original_; }
    bool ErrorProt() const { return errorProt_; }
    bool Padding() const { return padding_; }
    std::uint16_t FrameLength() const { return frameLength_; }

private:
    class Scan;
    friend class Scan;

    void ClearHeaderFields();
    void ReadTag(const std::uint8_t* tag);

    std::string tagHeader_;
    std::string title_;
    std::string artist_;
    std::string album_;
    std::string year_;
    std::string comment_;
    std::uint8_t genre_ = 0;
    std::uint8_t track_ = 0;
    std::uint16_t duration_ = 0;
    std::int64_t length_ = 0;
    std::uint8_t version_ = 0;
    std::uint8_t layer_ = 0;
    std::int32_t sampleRate_ = 0;
    std::int32_t bitRate_ = 0;
    std::uint8_t mode_ = 0;
    bool copyright_ = false;
    bool original_ = false;
    bool errorProt_ = false;
    bool padding_ = false;
    std::uint16_t frameLength_ = 0;
    std::string fileName_;

    std::int64_t firstFramePos_ = 0;
    bool autoLoad_ = true;
    ReadErrorHandlerFn readErrorHandler_;
    MessagePumpFn messagePump_;
    std::chrono::milliseconds pumpInterval_ = DefaultPumpInterval;
    std::atomic<bool> cancelRequested_{false};
    bool cancelled_ = false;
};

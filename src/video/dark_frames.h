// Dark frames of one video controller. "Take dark" sums N live pictures (the converted frames,
// before processing, taken with the lens cap on) and averages them into a master dark for the
// current device, size and format, stored in the user's data folder. "Use dark" subtracts the
// stream's master dark from every live picture before processing, saturating at 0. A dark of
// another device, size or format is never applied.
//
// Both happen inside the conversion of a frame, band by band, while each band of the picture is
// still in the cache: the take adds the band to its sum before the dark is taken off, so a take
// with a dark in use still averages the raw frames. Nothing is allocated per frame: the sum
// (16-bit words up to 257 frames, 32-bit words beyond) is sized when the take starts.
//
// Threads: ConvertFrame runs on the streaming thread; SetFormat on the GUI thread or on the
// streaming thread between two samples (a format change of the stream); everything else on the
// GUI thread. One small lock guards the dark and the take's buffers; the GUI thread holds it only
// to swap pointers, never while it allocates, averages or touches the disk.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "video/convert.h"
#include "video/convert_bands.h"
#include "video/dark_file.h"
#include "video/dark_settings.h"

namespace kelpa {

enum class DarkTakeState : uint8_t {
    kIdle,
    kTaking,  // frames are being summed
    kTaken,   // the sum is complete: FinishTake turns it into the master dark
    kFailed,  // the stream changed during the take: FinishTake reports it
};

// What a dark command did, for the status line or a message box.
struct DarkResult {
    bool ok = true;
    std::string message;
    bool missing = false;  // no dark is stored for the stream (not a fault of a file)
};

// The device name under which darks of video files are filed: a dark video recorded with the
// cap on serves every video of the same size and format.
inline constexpr const char* kDarkFileSourceName = "Video file";

class DarkFrames {
  public:
    static constexpr int32_t kDefaultFrames = 32;
    static constexpr int32_t kMinFrames = 1;
    static constexpr int32_t kMaxFrames = 1024;
    // A 16-bit sum holds this many frames of level 255.
    static constexpr int32_t kMaxFrames16 = 257;

    DarkFrames();
    ~DarkFrames();
    DarkFrames(const DarkFrames&) = delete;
    DarkFrames& operator=(const DarkFrames&) = delete;

    // --- The stream ------------------------------------------------------------------------------
    // Where darks are stored (DefaultDarkDirectory() after construction).
    void SetDirectory(const std::string& directory);
    std::string Directory() const;
    // The source's name: the capture device's friendly name, kDarkFileSourceName for files.
    void SetDevice(const std::string& name);
    // The connected format: picture size and format code (DarkFormatCode). A running take is
    // abandoned (true: its end must be announced); a dark of the old format stops being applied.
    bool SetFormat(int32_t width, int32_t height, uint32_t formatCode);
    DarkIdentity Identity() const;

    // --- Settings (GUI thread) ------------------------------------------------------------------
    // DarkUse switches Use as SetUse does; DarkFrames is the count StartTake() takes.
    DarkResult ApplySettings(const DarkSettings& settings);
    DarkSettings Settings() const;

    // --- Commands (GUI thread) -------------------------------------------------------------------
    // Starts summing the next `frames` live pictures (0: the DarkFrames setting; held to
    // kMinFrames ... kMaxFrames). Fails without a connected format or when the sum cannot be
    // allocated. A take that is running starts over.
    DarkResult StartTake(int32_t frames = 0);
    // Drops a take that has not been finished.
    void CancelTake();
    // After the take has ended (TakeState kTaken or kFailed): averages the sum into the master
    // dark, keeps it as this stream's dark (subtracted while Use is on) and stores it in the
    // folder. A dark that could not be stored is still used; the message says why.
    DarkResult FinishTake();
    // Use dark on or off. On: the stream's stored dark is loaded unless the one in memory is the
    // stream's; a missing, unreadable or foreign dark is not applied and the message says why.
    DarkResult SetUse(bool on);
    bool Use() const { return use_.load(); }
    // Loads the stream's stored dark when Use is on and the dark in memory is not the stream's
    // (after a source was opened or its format changed). ok with an empty message when nothing
    // needed doing.
    DarkResult Refresh();
    // Makes `dark` the stream's dark; refused when it was taken for another stream.
    DarkResult Install(MasterDark dark);
    // The path the stream's dark is stored under (empty without a folder or a format).
    std::string StoredPath() const;

    // --- State (any thread)
    // ------------------------------------------------------------------------
    DarkTakeState TakeState() const { return takeState_.load(); }
    int32_t FramesTaken() const { return framesTaken_.load(); }
    int32_t FramesWanted() const { return framesWanted_.load(); }
    // A dark is subtracted from every frame now.
    bool Applied() const;
    // One line for the status bar: "Dark frame: off", "Dark frame: in use (32 frames)",
    // "Taking dark frame: 12 of 32", or why no dark is applied.
    std::string StatusText() const;

    // --- Streaming thread ------------------------------------------------------------------------
    // True while a take runs or a dark is applied; otherwise the intake converts as usual.
    bool Active() const { return active_.load(std::memory_order_acquire); }
    // Converts a sample into the picture (rows g.dstStride apart) with `convert`, band by band,
    // summing each band for the take and subtracting the dark from it. True when this frame
    // completed the take (its end must be announced).
    bool ConvertFrame(Converter convert, BandOrder order, uint8_t* picture, const uint8_t* sample,
                      const ConvGeometry& g);

  private:
    // Callers hold mutex_.
    void UpdateActive();
    bool DarkFits(const ConvGeometry& g) const;
    DarkResult InstallLocked(std::unique_ptr<MasterDark>* dark);

    mutable std::mutex mutex_;
    // Guarded by mutex_.
    std::string directory_;
    DarkIdentity identity_;
    std::unique_ptr<MasterDark> master_;
    bool matched_ = false;     // master_ is the stream's dark
    bool formatLeft_ = false;  // the stream changed away from the dark in use
    DarkIdentity takeIdentity_;
    size_t takeBytes_ = 0;  // stride * height of the take's picture
    std::unique_ptr<uint16_t[]> sum16_;
    std::unique_ptr<uint32_t[]> sum32_;
    std::string lastMessage_;

    std::atomic<bool> use_{false};
    std::atomic<int32_t> framesSetting_{kDefaultFrames};
    std::atomic<bool> active_{false};
    std::atomic<DarkTakeState> takeState_{DarkTakeState::kIdle};
    std::atomic<int32_t> framesTaken_{0};
    std::atomic<int32_t> framesWanted_{0};
};

}  // namespace kelpa

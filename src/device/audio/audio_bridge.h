// The headset's audio functions: named properties of a playback and a recording audio device,
// reached through a bridge whose back end may be a simulated store or a sound card's mixer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morva::audio {

enum class DataFlow : std::int32_t { Playback = 0, Recording = 1 };

// Passed back by value to PropertyControl; type and state mean what the back end says.
struct DeviceRecord {
    std::int32_t id = 0;
    std::int32_t type = 0;
    std::int32_t flow = 0;
    std::int32_t state = 0;  // 1 = usable
    friend bool operator==(const DeviceRecord&, const DeviceRecord&) = default;
};

inline constexpr std::int32_t kDeviceUsable = 1;
inline constexpr std::int32_t kPlaybackDeviceType = 1;
inline constexpr std::int32_t kRecordingDeviceType = 2;

// 0 is success, as the headset code tests it.
enum class Result : std::int32_t {
    Ok = 0,
    Unavailable,      // the back end failed to load or initialise; nothing can be called
    NotInitialised,   // Init has not succeeded yet (or Close was called)
    NoDeviceList,     // CreateDeviceList has not been called
    NoDevice,         // no such index or record
    UnknownProperty,  // the device lacks the property (the headset then writes a default)
    BufferTooSmall,   // the caller's buffer cannot hold the value or the text
    BadValue,         // out of range for the property
    Failed,           // the back end refused or failed
};

std::string_view ResultName(Result result);

inline constexpr std::size_t kPropertyBufferBytes = 1024;
inline constexpr std::size_t kFeatureBufferBytes = 2048;

// The 32-bit value a write carries at the start of the value buffer; float or integer by
// property (see IsScalarProperty).
struct PropertyWord {
    std::uint32_t bits = 0;
    static PropertyWord Int(std::int32_t v);
    static PropertyWord Float(float v);
    std::int32_t AsInt() const;
    float AsFloat() const;
};

// Volumes are floats 0..1, everything else integers.
bool IsScalarProperty(std::string_view name);

// The operations the headset uses, in this order: Init, CreateDeviceList, GetDeviceCount,
// GetDeviceById, PropertyControl..., Close.
class IAudioBridge {
public:
    virtual ~IAudioBridge() = default;
    virtual Result Init() = 0;
    virtual Result CreateDeviceList() = 0;
    virtual Result GetDeviceCount(DataFlow flow, std::int32_t& count) = 0;
    virtual Result GetDeviceById(DataFlow flow, std::int32_t index, DeviceRecord& record) = 0;
    // Read (write = false): the value as UTF-16 text, NUL-terminated, into `value`.
    // Write: a PropertyWord from the first four bytes of `value`. `selector` holds 32-bit
    // words (empty: none).
    virtual Result PropertyControl(const DeviceRecord& device, std::string_view name,
                                   std::span<std::byte> value, std::span<const std::byte> selector,
                                   bool write) = 0;
    virtual void Close() = 0;
    // What is missing when calls are refused; empty when the bridge works.
    virtual std::string UnavailableReason() const = 0;
};

// What a back end provides; the bridge does the buffers, the call order and the refusals.
class IAudioBackend {
public:
    virtual ~IAudioBackend() = default;
    // False with a reason when the back end cannot work at all.
    virtual bool Init(std::string& whyNot) = 0;
    virtual std::vector<DeviceRecord> Devices(DataFlow flow) = 0;
    virtual Result Read(const DeviceRecord& device, std::string_view name,
                        std::span<const std::int32_t> selector, std::u16string& text) = 0;
    virtual Result Write(const DeviceRecord& device, std::string_view name,
                         std::span<const std::int32_t> selector, PropertyWord value) = 0;
    virtual void Uninit() = 0;
};

// `backend` may be null: a library that did not load.
std::unique_ptr<IAudioBridge> MakeAudioBridge(std::unique_ptr<IAudioBackend> backend,
                                              std::string missingReason = {});

// Microphone and monitor levels 0..100 against the 0..1 volume scalar; rounded so a level
// survives any number of round trips.
float LevelToScalar(int level);
int ScalarToLevel(double scalar);

// Decimal text a read left in a value buffer; nullopt when the buffer holds no number.
std::optional<double> ParsePropertyText(std::span<const std::byte> value);

// Helpers in the headset's access pattern: zeroed buffers, the selector stored, one call.
Result ReadNumber(IAudioBridge& bridge, const DeviceRecord& device, std::string_view name,
                  std::optional<std::int32_t> selector, double& number);
Result WriteWord(IAudioBridge& bridge, const DeviceRecord& device, std::string_view name,
                 std::optional<std::int32_t> selector, PropertyWord value);

// Feature words 0, 4 and 6 of a "GetSupportFeature" list; nullopt with fewer than 7 items.
std::optional<std::array<std::uint32_t, 3>> ParseSupportFeature(std::string_view list);

}  // namespace morva::audio

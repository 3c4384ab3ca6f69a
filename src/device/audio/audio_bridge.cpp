#include "device/audio/audio_bridge.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace morva::audio {

std::string_view ResultName(Result result) {
    switch (result) {
        case Result::Ok:
            return "ok";
        case Result::Unavailable:
            return "audio back end unavailable";
        case Result::NotInitialised:
            return "not initialised";
        case Result::NoDeviceList:
            return "no device list";
        case Result::NoDevice:
            return "no such device";
        case Result::UnknownProperty:
            return "unknown property";
        case Result::BufferTooSmall:
            return "buffer too small";
        case Result::BadValue:
            return "bad value";
        case Result::Failed:
            return "failed";
    }
    return "?";
}

PropertyWord PropertyWord::Int(std::int32_t v) {
    return {std::bit_cast<std::uint32_t>(v)};
}
PropertyWord PropertyWord::Float(float v) {
    return {std::bit_cast<std::uint32_t>(v)};
}
std::int32_t PropertyWord::AsInt() const {
    return std::bit_cast<std::int32_t>(bits);
}
float PropertyWord::AsFloat() const {
    return std::bit_cast<float>(bits);
}

bool IsScalarProperty(std::string_view name) {
    return name.find("VolumeScalar") != std::string_view::npos;
}

namespace {

class AudioBridge final : public IAudioBridge {
public:
    AudioBridge(std::unique_ptr<IAudioBackend> backend, std::string missingReason)
        : backend_(std::move(backend)), reason_(std::move(missingReason)) {
        if (!backend_ && reason_.empty())
            reason_ = "no audio back end";
    }
    ~AudioBridge() override { Close(); }

    Result Init() override {
        if (!backend_)
            return Result::Unavailable;
        if (ready_)
            return Result::Ok;
        std::string why;
        if (!backend_->Init(why)) {
            // A back end that failed once is never called again.
            backend_.reset();
            reason_ = why.empty() ? "audio back end failed to initialise" : why;
            return Result::Unavailable;
        }
        ready_ = true;
        return Result::Ok;
    }

    Result CreateDeviceList() override {
        if (Result r = Usable(); r != Result::Ok)
            return r;
        for (DataFlow flow : {DataFlow::Playback, DataFlow::Recording})
            lists_[Index(flow)] = backend_->Devices(flow);
        listed_ = true;
        return Result::Ok;
    }

    Result GetDeviceCount(DataFlow flow, std::int32_t& count) override {
        if (Result r = Listed(flow); r != Result::Ok)
            return r;
        count = static_cast<std::int32_t>(lists_[Index(flow)].size());
        return Result::Ok;
    }

    Result GetDeviceById(DataFlow flow, std::int32_t index, DeviceRecord& record) override {
        if (Result r = Listed(flow); r != Result::Ok)
            return r;
        const std::vector<DeviceRecord>& list = lists_[Index(flow)];
        if (index < 0 || static_cast<std::size_t>(index) >= list.size())
            return Result::NoDevice;
        record = list[static_cast<std::size_t>(index)];
        return Result::Ok;
    }

    Result PropertyControl(const DeviceRecord& device, std::string_view name,
                           std::span<std::byte> value, std::span<const std::byte> selector,
                           bool write) override {
        if (Result r = Usable(); r != Result::Ok)
            return r;
        if (!listed_)
            return Result::NoDeviceList;
        if (!Known(device))
            return Result::NoDevice;
        if (!selector.empty() && selector.size() < sizeof(std::int32_t))
            return Result::BufferTooSmall;
        std::vector<std::int32_t> words(selector.size() / sizeof(std::int32_t));
        if (!words.empty())
            std::memcpy(words.data(), selector.data(), words.size() * sizeof(std::int32_t));

        if (write) {
            if (value.size() < sizeof(std::uint32_t))
                return Result::BufferTooSmall;
            PropertyWord word;
            std::memcpy(&word.bits, value.data(), sizeof word.bits);
            return backend_->Write(device, name, words, word);
        }
        std::u16string text;
        if (Result r = backend_->Read(device, name, words, text); r != Result::Ok)
            return r;
        const std::size_t need = (text.size() + 1) * sizeof(char16_t);
        if (need > value.size())
            return Result::BufferTooSmall;
        std::memcpy(value.data(), text.data(), text.size() * sizeof(char16_t));
        std::memset(value.data() + text.size() * sizeof(char16_t), 0, sizeof(char16_t));
        return Result::Ok;
    }

    void Close() override {
        if (ready_ && backend_)
            backend_->Uninit();
        ready_ = false;
        listed_ = false;
        lists_ = {};
    }

    std::string UnavailableReason() const override { return backend_ ? std::string() : reason_; }

private:
    static std::size_t Index(DataFlow flow) { return flow == DataFlow::Playback ? 0 : 1; }

    Result Usable() const {
        if (!backend_)
            return Result::Unavailable;
        return ready_ ? Result::Ok : Result::NotInitialised;
    }

    Result Listed(DataFlow flow) const {
        if (Result r = Usable(); r != Result::Ok)
            return r;
        if (flow != DataFlow::Playback && flow != DataFlow::Recording)
            return Result::NoDevice;
        return listed_ ? Result::Ok : Result::NoDeviceList;
    }

    bool Known(const DeviceRecord& device) const {
        for (const std::vector<DeviceRecord>& list : lists_) {
            if (std::find(list.begin(), list.end(), device) != list.end())
                return true;
        }
        return false;
    }

    std::unique_ptr<IAudioBackend> backend_;
    std::string reason_;
    bool ready_ = false;
    bool listed_ = false;
    std::array<std::vector<DeviceRecord>, 2> lists_;
};

}  // namespace

std::unique_ptr<IAudioBridge> MakeAudioBridge(std::unique_ptr<IAudioBackend> backend,
                                              std::string missingReason) {
    return std::make_unique<AudioBridge>(std::move(backend), std::move(missingReason));
}

float LevelToScalar(int level) {
    return static_cast<float>(std::clamp(level, 0, 100)) / 100.0f;
}

int ScalarToLevel(double scalar) {
    if (!std::isfinite(scalar))
        return 0;
    return static_cast<int>(std::lround(std::clamp(scalar, 0.0, 1.0) * 100.0));
}

std::optional<double> ParsePropertyText(std::span<const std::byte> value) {
    std::string ascii;
    for (std::size_t i = 0; i + 1 < value.size(); i += sizeof(char16_t)) {
        char16_t unit;
        std::memcpy(&unit, value.data() + i, sizeof unit);
        if (unit == 0)
            break;
        if (unit > 0x7F)
            return std::nullopt;
        ascii.push_back(static_cast<char>(unit));
    }
    double number = 0;
    const char* end = ascii.data() + ascii.size();
    auto [ptr, ec] = std::from_chars(ascii.data(), end, number);
    if (ec != std::errc() || ptr != end || ascii.empty())
        return std::nullopt;
    return number;
}

namespace {

std::array<std::byte, sizeof(std::int32_t)> SelectorBytes(std::int32_t selector) {
    std::array<std::byte, sizeof(std::int32_t)> bytes;
    std::memcpy(bytes.data(), &selector, sizeof selector);
    return bytes;
}

}  // namespace

Result ReadNumber(IAudioBridge& bridge, const DeviceRecord& device, std::string_view name,
                  std::optional<std::int32_t> selector, double& number) {
    std::array<std::byte, kPropertyBufferBytes> value{};
    auto sel = SelectorBytes(selector.value_or(0));
    std::span<const std::byte> selSpan;
    if (selector)
        selSpan = sel;
    if (Result r = bridge.PropertyControl(device, name, value, selSpan, false); r != Result::Ok)
        return r;
    std::optional<double> parsed = ParsePropertyText(value);
    if (!parsed)
        return Result::BadValue;
    number = *parsed;
    return Result::Ok;
}

Result WriteWord(IAudioBridge& bridge, const DeviceRecord& device, std::string_view name,
                 std::optional<std::int32_t> selector, PropertyWord value) {
    std::array<std::byte, kPropertyBufferBytes> buffer{};
    std::memcpy(buffer.data(), &value.bits, sizeof value.bits);
    auto sel = SelectorBytes(selector.value_or(0));
    std::span<const std::byte> selSpan;
    if (selector)
        selSpan = sel;
    return bridge.PropertyControl(device, name, buffer, selSpan, true);
}

std::optional<std::array<std::uint32_t, 3>> ParseSupportFeature(std::string_view list) {
    std::vector<std::string_view> items;
    while (true) {
        std::size_t comma = list.find(',');
        items.push_back(list.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    if (items.size() < 7)
        return std::nullopt;
    std::array<std::uint32_t, 3> words{};
    const std::array<std::size_t, 3> picks{0, 4, 6};
    for (std::size_t i = 0; i < picks.size(); ++i) {
        std::string_view item = items[picks[i]];
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), words[i]);
        if (ec != std::errc() || ptr != item.data() + item.size() || item.empty())
            return std::nullopt;
    }
    return words;
}

}  // namespace morva::audio

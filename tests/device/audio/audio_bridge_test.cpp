#include "device/audio/audio_bridge.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

namespace morva::audio {
namespace {

// Keeps written words and answers reads as the shortest decimal text, like a real back end.
class FakeBackend : public IAudioBackend {
public:
    bool initOk = true;
    int calls = 0;
    std::u16string forcedText;
    std::map<std::string, PropertyWord, std::less<>> words;

    bool Init(std::string& whyNot) override {
        ++calls;
        if (!initOk)
            whyNot = "fake card missing";
        return initOk;
    }
    std::vector<DeviceRecord> Devices(DataFlow flow) override {
        ++calls;
        if (flow == DataFlow::Playback)
            return {{1, kPlaybackDeviceType, 0, kDeviceUsable}};
        return {{2, kRecordingDeviceType, 1, kDeviceUsable}};
    }
    Result Read(const DeviceRecord&, std::string_view name, std::span<const std::int32_t>,
                std::u16string& text) override {
        ++calls;
        if (!forcedText.empty()) {
            text = forcedText;
            return Result::Ok;
        }
        auto it = words.find(name);
        if (it == words.end())
            return Result::UnknownProperty;
        char buf[32];
        auto end = IsScalarProperty(name)
                       ? std::to_chars(buf, buf + sizeof buf, it->second.AsFloat()).ptr
                       : std::to_chars(buf, buf + sizeof buf, it->second.AsInt()).ptr;
        text.assign(buf, end);
        return Result::Ok;
    }
    Result Write(const DeviceRecord&, std::string_view name, std::span<const std::int32_t>,
                 PropertyWord value) override {
        ++calls;
        words[std::string(name)] = value;
        return Result::Ok;
    }
    void Uninit() override { ++calls; }
};

struct Opened {
    FakeBackend* fake;
    std::unique_ptr<IAudioBridge> bridge;
    DeviceRecord recording;
};

Opened Open() {
    auto backend = std::make_unique<FakeBackend>();
    FakeBackend* fake = backend.get();
    Opened o{fake, MakeAudioBridge(std::move(backend)), {}};
    EXPECT_EQ(o.bridge->Init(), Result::Ok);
    EXPECT_EQ(o.bridge->CreateDeviceList(), Result::Ok);
    EXPECT_EQ(o.bridge->GetDeviceById(DataFlow::Recording, 0, o.recording), Result::Ok);
    return o;
}

// Every operation once, the way the headset reaches them; results in call order.
std::vector<Result> EveryCall(IAudioBridge& bridge) {
    std::vector<Result> results;
    std::int32_t count = -1;
    DeviceRecord record;
    std::array<std::byte, kPropertyBufferBytes> value{};
    results.push_back(bridge.CreateDeviceList());
    results.push_back(bridge.GetDeviceCount(DataFlow::Playback, count));
    results.push_back(bridge.GetDeviceById(DataFlow::Recording, 0, record));
    results.push_back(bridge.PropertyControl(record, "MuteControl", value, {}, false));
    results.push_back(bridge.PropertyControl(record, "MuteControl", value, {}, true));
    return results;
}

TEST(AudioBridge, BackEndThatFailedToInitialiseRefusesEveryCall) {
    auto backend = std::make_unique<FakeBackend>();
    backend->initOk = false;
    auto bridge = MakeAudioBridge(std::move(backend));
    EXPECT_EQ(bridge->Init(), Result::Unavailable);
    EXPECT_EQ(bridge->UnavailableReason(), "fake card missing");
    EXPECT_EQ(bridge->Init(), Result::Unavailable);
    for (Result r : EveryCall(*bridge))
        EXPECT_EQ(r, Result::Unavailable);
    bridge->Close();

    auto none = MakeAudioBridge(nullptr, "library not found");
    EXPECT_EQ(none->Init(), Result::Unavailable);
    EXPECT_EQ(none->UnavailableReason(), "library not found");
    for (Result r : EveryCall(*none))
        EXPECT_EQ(r, Result::Unavailable);
}

TEST(AudioBridge, CallsOutOfOrderAreRefusedWithoutReachingTheBackEnd) {
    auto backend = std::make_unique<FakeBackend>();
    FakeBackend* fake = backend.get();
    auto bridge = MakeAudioBridge(std::move(backend));
    for (Result r : EveryCall(*bridge))
        EXPECT_EQ(r, Result::NotInitialised);
    EXPECT_EQ(fake->calls, 0);

    ASSERT_EQ(bridge->Init(), Result::Ok);
    std::int32_t count = -1;
    DeviceRecord record;
    EXPECT_EQ(bridge->GetDeviceCount(DataFlow::Recording, count), Result::NoDeviceList);
    ASSERT_EQ(bridge->CreateDeviceList(), Result::Ok);
    EXPECT_EQ(bridge->GetDeviceCount(DataFlow::Recording, count), Result::Ok);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(bridge->GetDeviceById(DataFlow::Recording, 1, record), Result::NoDevice);
    EXPECT_EQ(bridge->GetDeviceById(DataFlow::Recording, -1, record), Result::NoDevice);

    std::array<std::byte, 8> value{};
    const DeviceRecord stranger{99, kRecordingDeviceType, 1, kDeviceUsable};
    const int before = fake->calls;
    EXPECT_EQ(bridge->PropertyControl(stranger, "MuteControl", value, {}, true), Result::NoDevice);
    EXPECT_EQ(fake->calls, before);

    bridge->Close();
    EXPECT_EQ(bridge->CreateDeviceList(), Result::NotInitialised);
}

TEST(AudioBridge, EveryReadAndWriteStaysInsideTheCallersBuffer) {
    Opened o = Open();
    o.fake->forcedText = u"0.125";  // 5 units + NUL = 12 bytes
    struct Case {
        std::size_t length;
        bool write;
        std::size_t selectorBytes;
        Result expected;
    };
    const Case cases[] = {
        {12, false, 0, Result::Ok},
        {11, false, 0, Result::BufferTooSmall},
        {0, false, 0, Result::BufferTooSmall},
        {4, true, 0, Result::Ok},
        {3, true, 0, Result::BufferTooSmall},
        {4, true, 4, Result::Ok},
        {4, true, 2, Result::BufferTooSmall},
        {12, false, 3, Result::BufferTooSmall},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.length << (c.write ? " write" : " read") << " sel " << c.selectorBytes);
        std::array<std::byte, 64> guard;
        guard.fill(std::byte{0xEE});
        if (c.write)
            std::memset(guard.data(), 0, c.length);
        const std::array<std::byte, 8> selector{};
        const int before = o.fake->calls;
        Result r = o.bridge->PropertyControl(o.recording, "VolumeScalarControl",
                                             std::span(guard).first(c.length),
                                             std::span(selector).first(c.selectorBytes), c.write);
        EXPECT_EQ(r, c.expected);
        if (r == Result::BufferTooSmall && (c.write || c.selectorBytes != 0)) {
            EXPECT_EQ(o.fake->calls, before);
        }
        for (std::size_t i = c.length; i < guard.size(); ++i)
            ASSERT_EQ(guard[i], std::byte{0xEE}) << "byte " << i;
        if (!c.write && r == Result::Ok) {
            EXPECT_EQ(ParsePropertyText(std::span(guard).first(c.length)), 0.125);
        }
    }
}

TEST(AudioBridge, EveryLevelSurvivesRepeatedRoundTrips) {
    Opened o = Open();
    for (int level = 0; level <= 100; ++level) {
        int current = level;
        for (int trip = 0; trip < 3; ++trip) {
            ASSERT_EQ(WriteWord(*o.bridge, o.recording, "VolumeScalarControl", -1,
                                PropertyWord::Float(LevelToScalar(current))),
                      Result::Ok);
            double scalar = -1;
            ASSERT_EQ(ReadNumber(*o.bridge, o.recording, "VolumeScalarControl", -1, scalar),
                      Result::Ok);
            current = ScalarToLevel(scalar);
        }
        EXPECT_EQ(current, level);
    }
    EXPECT_EQ(ScalarToLevel(1.7), 100);
    EXPECT_EQ(ScalarToLevel(-0.2), 0);
    EXPECT_EQ(ScalarToLevel(std::nan("")), 0);
}

TEST(AudioBridge, PropertyTextAndFeatureListsThatAreNotNumbersAreRejected) {
    auto text = [](std::u16string s) {
        std::vector<std::byte> b((s.size() + 1) * 2);
        std::memcpy(b.data(), s.data(), s.size() * 2);
        return b;
    };
    EXPECT_EQ(ParsePropertyText(text(u"-3")), -3.0);
    EXPECT_EQ(ParsePropertyText(text(u"")), std::nullopt);
    EXPECT_EQ(ParsePropertyText(text(u"1x")), std::nullopt);
    EXPECT_EQ(ParsePropertyText(text(u"\u00e91")), std::nullopt);
    std::vector<std::byte> unterminated = text(u"42");
    unterminated.resize(4);  // no NUL: the buffer's end stops the text
    EXPECT_EQ(ParsePropertyText(unterminated), 42.0);

    using Words = std::array<std::uint32_t, 3>;
    EXPECT_EQ(ParseSupportFeature("131072,1,2,3,4,5,6"), (Words{131072, 4, 6}));
    EXPECT_EQ(ParseSupportFeature("1, 2,3,4, 9 ,5,7,8"), (Words{1, 9, 7}));
    EXPECT_EQ(ParseSupportFeature("1,2,3,4,5,6"), std::nullopt);
    EXPECT_EQ(ParseSupportFeature("1,2,3,4,x,6,7"), std::nullopt);
    EXPECT_EQ(ParseSupportFeature("1,2,3,4,5,6,"), std::nullopt);
}

}  // namespace
}  // namespace morva::audio

#include "platform/alsa/alsa_mixer_backend.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <utility>

namespace morva::alsa {

using audio::DataFlow;
using audio::DeviceRecord;
using audio::PropertyWord;
using audio::Result;

std::optional<std::filesystem::path> UsbDeviceFolder(const std::filesystem::path& sysfsNode) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::canonical(sysfsNode, ec);
    if (ec)
        return std::nullopt;
    // Interfaces ("1-2:1.3") have no idVendor; their parent, the device, has.
    for (; !p.empty() && p != p.root_path(); p = p.parent_path()) {
        if (std::filesystem::is_regular_file(p / "idVendor", ec))
            return p;
    }
    return std::nullopt;
}

std::string HidrawSysfsDevice(const std::string& path) {
    const std::string node = path.substr(0, path.find('#'));
    const std::size_t slash = node.rfind('/');
    const std::string name = slash == std::string::npos ? node : node.substr(slash + 1);
    if (!name.starts_with("hidraw"))
        return {};
    return "/sys/class/hidraw/" + name + "/device";
}

std::unique_ptr<audio::IAudioBridge> MixerBridgeForHidPath(const std::string& path) {
    const std::string sysfs = HidrawSysfsDevice(path);
    const auto usb = sysfs.empty() ? std::nullopt : UsbDeviceFolder(sysfs);
    const auto card = usb ? CardForUsbDevice(*usb) : std::nullopt;
    if (!card)
        return audio::MakeAudioBridge(nullptr, "no sound card on the headset's USB device");
    return audio::MakeAudioBridge(std::make_unique<AlsaMixerBackend>(*card));
}

std::optional<std::string> CardForUsbDevice(const std::filesystem::path& usbDevice) {
    std::error_code ec;
    // The card sits under one of the device's interfaces: <dev>/<dev>:1.0/sound/cardN.
    auto it = std::filesystem::recursive_directory_iterator(
        usbDevice, std::filesystem::directory_options::skip_permission_denied, ec);
    for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it.depth() > 3) {
            it.disable_recursion_pending();
            continue;
        }
        const std::string leaf = it->path().filename().string();
        if (it->path().parent_path().filename() != "sound" || !leaf.starts_with("card"))
            continue;
        int index = -1;
        const char* first = leaf.data() + 4;
        const char* last = leaf.data() + leaf.size();
        auto [ptr, err] = std::from_chars(first, last, index);
        if (err == std::errc() && ptr == last && first != last && index >= 0)
            return "hw:" + std::to_string(index);
    }
    return std::nullopt;
}

namespace {

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

struct CtlCloser {
    void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};

struct MixerCloser {
    void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

std::optional<std::string> FindCardByName(std::string_view name) {
    const std::string wanted = Lower(name);
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        const std::string hw = "hw:" + std::to_string(card);
        snd_ctl_t* raw = nullptr;
        if (snd_ctl_open(&raw, hw.c_str(), 0) < 0)
            continue;
        std::unique_ptr<snd_ctl_t, CtlCloser> ctl(raw);
        snd_ctl_card_info_t* info = nullptr;
        snd_ctl_card_info_alloca(&info);
        if (snd_ctl_card_info(ctl.get(), info) < 0)
            continue;
        for (const char* text : {snd_ctl_card_info_get_id(info), snd_ctl_card_info_get_name(info),
                                 snd_ctl_card_info_get_longname(info)}) {
            if (text && Lower(text).find(wanted) != std::string::npos)
                return hw;
        }
    }
    return std::nullopt;
}

namespace {

enum class Direction { Capture, Playback };

// One volume or switch of one simple mixer element; the element belongs to the mixer.
struct Control {
    snd_mixer_elem_t* elem = nullptr;
    Direction dir = Direction::Capture;
    explicit operator bool() const { return elem != nullptr; }
};

bool HasVolume(snd_mixer_elem_t* e, Direction d) {
    return d == Direction::Capture ? snd_mixer_selem_has_capture_volume(e)
                                   : snd_mixer_selem_has_playback_volume(e);
}

bool HasSwitch(snd_mixer_elem_t* e, Direction d) {
    return d == Direction::Capture ? snd_mixer_selem_has_capture_switch(e)
                                   : snd_mixer_selem_has_playback_switch(e);
}

std::optional<std::pair<long, long>> Range(Control c) {
    long lo = 0, hi = 0;
    const int err = c.dir == Direction::Capture
                        ? snd_mixer_selem_get_capture_volume_range(c.elem, &lo, &hi)
                        : snd_mixer_selem_get_playback_volume_range(c.elem, &lo, &hi);
    if (err != 0 || hi <= lo)
        return std::nullopt;
    return std::pair(lo, hi);
}

// The first channel stands for all: writes set every channel alike.
std::optional<double> VolumeScalar(Control c) {
    auto range = Range(c);
    long v = 0;
    const auto ch = SND_MIXER_SCHN_MONO;
    if (!range ||
        (c.dir == Direction::Capture ? snd_mixer_selem_get_capture_volume(c.elem, ch, &v)
                                     : snd_mixer_selem_get_playback_volume(c.elem, ch, &v)) != 0)
        return std::nullopt;
    const auto [lo, hi] = *range;
    return static_cast<double>(std::clamp(v, lo, hi) - lo) / static_cast<double>(hi - lo);
}

bool SetVolumeScalar(Control c, double scalar) {
    auto range = Range(c);
    if (!range)
        return false;
    const auto [lo, hi] = *range;
    const long raw = lo + std::lround(scalar * static_cast<double>(hi - lo));
    return (c.dir == Direction::Capture
                ? snd_mixer_selem_set_capture_volume_all(c.elem, raw)
                : snd_mixer_selem_set_playback_volume_all(c.elem, raw)) == 0;
}

std::optional<bool> SwitchOn(Control c) {
    int on = 0;
    const auto ch = SND_MIXER_SCHN_MONO;
    if ((c.dir == Direction::Capture ? snd_mixer_selem_get_capture_switch(c.elem, ch, &on)
                                     : snd_mixer_selem_get_playback_switch(c.elem, ch, &on)) != 0)
        return std::nullopt;
    return on != 0;
}

bool SetSwitch(Control c, bool on) {
    return (c.dir == Direction::Capture ? snd_mixer_selem_set_capture_switch_all(c.elem, on)
                                        : snd_mixer_selem_set_playback_switch_all(c.elem, on)) == 0;
}

std::u16string Text(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string NumberText(double v) {
    std::array<char, 32> buf;
    auto end = std::to_chars(buf.data(), buf.data() + buf.size(), v).ptr;
    return Text(std::string_view(buf.data(), static_cast<std::size_t>(end - buf.data())));
}

struct Controls {
    Control micVolume, micSwitch, monitorVolume, monitorSwitch, playbackVolume;
};

struct Mapping {
    Control volume;  // a volume scalar property
    Control mute;    // a mute property: 1 when the switch is off
    bool maxVol = false;
};

Mapping Map(const DeviceRecord& device, std::string_view name, const Controls& c) {
    Mapping m;
    if (device == AlsaMixerBackend::kRecording) {
        if (name == "VolumeScalarControl")
            m.volume = c.micVolume;
        else if (name == "MuteControl")
            m.mute = c.micSwitch;
        else if (name == "AAVolumeScalarControl")
            m.volume = c.monitorVolume;
        else if (name == "AAMuteControl")
            m.mute = c.monitorSwitch;
        else if (name == "GetAAMaxVol")
            m.maxVol = bool(c.monitorVolume);
    } else if (device == AlsaMixerBackend::kPlayback && name == "VolumeScalarControl") {
        m.volume = c.playbackVolume;
    }
    return m;
}

}  // namespace

struct AlsaMixerBackend::Mixer : Controls {
    std::unique_ptr<snd_mixer_t, MixerCloser> handle;
};

AlsaMixerBackend::AlsaMixerBackend(std::string ctlName) : ctlName_(std::move(ctlName)) {}
AlsaMixerBackend::~AlsaMixerBackend() = default;

bool AlsaMixerBackend::Init(std::string& whyNot) {
    auto fail = [&](const std::string& what, int err) {
        whyNot = "ALSA mixer " + ctlName_ + ": " + what + " (" + snd_strerror(err) + ")";
        mixer_.reset();
        return false;
    };
    auto m = std::make_unique<Mixer>();
    snd_mixer_t* raw = nullptr;
    if (int err = snd_mixer_open(&raw, 0); err < 0)
        return fail("cannot open", err);
    m->handle.reset(raw);
    if (int err = snd_mixer_attach(raw, ctlName_.c_str()); err < 0)
        return fail("cannot attach", err);
    if (int err = snd_mixer_selem_register(raw, nullptr, nullptr); err < 0)
        return fail("cannot register simple controls", err);
    if (int err = snd_mixer_load(raw); err < 0)
        return fail("cannot load", err);

    // The microphone is "Mic" where the card names it, else its first capture control; the
    // monitor is the microphone's playback path, as USB audio cards expose it.
    static constexpr std::array<std::string_view, 4> kPlaybackNames{"Headphone", "Speaker", "PCM",
                                                                    "Master"};
    snd_mixer_elem_t* mic = nullptr;
    snd_mixer_elem_t* anyCapture = nullptr;
    snd_mixer_elem_t* playback = nullptr;
    std::size_t playbackRank = kPlaybackNames.size();
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(raw); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_is_active(e))
            continue;
        const std::string_view name = snd_mixer_selem_get_name(e);
        const bool capture = HasVolume(e, Direction::Capture) || HasSwitch(e, Direction::Capture);
        if (name == "Mic" && !mic)
            mic = e;
        if (capture && !anyCapture)
            anyCapture = e;
        auto rank = std::find(kPlaybackNames.begin(), kPlaybackNames.end(), name);
        const auto r = static_cast<std::size_t>(rank - kPlaybackNames.begin());
        if (HasVolume(e, Direction::Playback) && r < playbackRank) {
            playback = e;
            playbackRank = r;
        }
    }
    snd_mixer_elem_t* capture =
        mic && (HasVolume(mic, Direction::Capture) || HasSwitch(mic, Direction::Capture))
            ? mic
            : anyCapture;
    if (capture && HasVolume(capture, Direction::Capture))
        m->micVolume = {capture, Direction::Capture};
    if (capture && HasSwitch(capture, Direction::Capture))
        m->micSwitch = {capture, Direction::Capture};
    if (mic && HasVolume(mic, Direction::Playback))
        m->monitorVolume = {mic, Direction::Playback};
    if (mic && HasSwitch(mic, Direction::Playback))
        m->monitorSwitch = {mic, Direction::Playback};
    if (playback)
        m->playbackVolume = {playback, Direction::Playback};
    if (!m->micVolume && !m->micSwitch && !m->monitorVolume && !m->playbackVolume)
        return fail("no microphone or playback control", -ENODEV);
    mixer_ = std::move(m);
    return true;
}

void AlsaMixerBackend::Uninit() {
    mixer_.reset();
}

MixerCapabilities AlsaMixerBackend::Capabilities() const {
    if (!mixer_)
        return {};
    return {bool(mixer_->micVolume), bool(mixer_->micSwitch), bool(mixer_->monitorVolume),
            bool(mixer_->monitorSwitch), bool(mixer_->playbackVolume)};
}

std::vector<DeviceRecord> AlsaMixerBackend::Devices(DataFlow flow) {
    if (!mixer_)
        return {};
    if (flow == DataFlow::Playback)
        return {kPlayback};
    if (mixer_->micVolume || mixer_->micSwitch || mixer_->monitorVolume)
        return {kRecording};
    return {};
}

Result AlsaMixerBackend::Read(const DeviceRecord& device, std::string_view name,
                              std::span<const std::int32_t>, std::u16string& text) {
    if (!mixer_)
        return Result::Failed;
    if (device != kPlayback && device != kRecording)
        return Result::NoDevice;
    if (name == "GetSupportFeature") {
        text = u"0,0,0,0,0,0,0";
        return Result::Ok;
    }
    const Mixer& x = *mixer_;
    const Mapping m = Map(device, name, x);
    if (m.maxVol) {
        text = u"100";
        return Result::Ok;
    }
    if (!m.volume && !m.mute)
        return Result::UnknownProperty;
    // Another program (or the card) may have moved the controls since the last call.
    snd_mixer_handle_events(x.handle.get());
    if (m.volume) {
        std::optional<double> v = VolumeScalar(m.volume);
        if (!v)
            return Result::Failed;
        text = NumberText(*v);
        return Result::Ok;
    }
    std::optional<bool> on = SwitchOn(m.mute);
    if (!on)
        return Result::Failed;
    text = *on ? u"0" : u"1";
    return Result::Ok;
}

Result AlsaMixerBackend::Write(const DeviceRecord& device, std::string_view name,
                               std::span<const std::int32_t>, PropertyWord value) {
    if (!mixer_)
        return Result::Failed;
    if (device != kPlayback && device != kRecording)
        return Result::NoDevice;
    const Mixer& x = *mixer_;
    const Mapping m = Map(device, name, x);
    if (m.maxVol)
        return Result::Failed;
    if (m.volume) {
        const float scalar = value.AsFloat();
        if (!std::isfinite(scalar) || scalar < 0 || scalar > 1)
            return Result::BadValue;
        return SetVolumeScalar(m.volume, scalar) ? Result::Ok : Result::Failed;
    }
    if (m.mute) {
        const std::int32_t muted = value.AsInt();
        if (muted != 0 && muted != 1)
            return Result::BadValue;
        return SetSwitch(m.mute, muted == 0) ? Result::Ok : Result::Failed;
    }
    return Result::UnknownProperty;
}

}  // namespace morva::alsa

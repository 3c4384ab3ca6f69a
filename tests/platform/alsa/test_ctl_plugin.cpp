// A user-space ALSA control device for the mixer tests, where no kernel sound card exists.
// Loaded by alsa-lib from the test's private configuration:
//   ctl.NAME { type morvatest monitor BOOL steps INT state FILE }
// The values live in FILE, so every handle on the device sees the same card.
#include <alsa/asoundlib.h>
#include <alsa/control_external.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Element {
    const char* name;
    bool boolean;
    long max;
    unsigned channels;
    std::array<long, 2> value{};
};

struct Card {
    snd_ctl_ext_t ext{};
    std::vector<Element> elements;
    std::string stateFile;

    void Load() {
        std::ifstream in(stateFile);
        for (Element& e : elements)
            in >> e.value[0] >> e.value[1];
    }
    void Save() const {
        std::ofstream out(stateFile, std::ios::trunc);
        for (const Element& e : elements)
            out << e.value[0] << ' ' << e.value[1] << '\n';
    }
};

Card* CardOf(snd_ctl_ext_t* ext) {
    return static_cast<Card*>(ext->private_data);
}

int ElemCount(snd_ctl_ext_t* ext) {
    return static_cast<int>(CardOf(ext)->elements.size());
}

int ElemList(snd_ctl_ext_t* ext, unsigned offset, snd_ctl_elem_id_t* id) {
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, CardOf(ext)->elements.at(offset).name);
    return 0;
}

snd_ctl_ext_key_t FindElem(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id) {
    const std::vector<Element>& elements = CardOf(ext)->elements;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (std::strcmp(elements[i].name, snd_ctl_elem_id_get_name(id)) == 0)
            return i;
    }
    return SND_CTL_EXT_KEY_NOT_FOUND;
}

int GetAttribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned* acc,
                 unsigned* count) {
    const Element& e = CardOf(ext)->elements.at(key);
    *type = e.boolean ? SND_CTL_ELEM_TYPE_BOOLEAN : SND_CTL_ELEM_TYPE_INTEGER;
    *acc = SND_CTL_EXT_ACCESS_READWRITE;
    *count = e.channels;
    return 0;
}

int GetIntegerInfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* imin, long* imax, long* istep) {
    *imin = 0;
    *imax = CardOf(ext)->elements.at(key).max;
    *istep = 1;
    return 0;
}

int ReadInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
    CardOf(ext)->Load();
    const Element& e = CardOf(ext)->elements.at(key);
    std::copy_n(e.value.begin(), e.channels, value);
    return 0;
}

int WriteInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value) {
    CardOf(ext)->Load();
    Element& e = CardOf(ext)->elements.at(key);
    for (unsigned c = 0; c < e.channels; ++c) {
        if (value[c] < 0 || value[c] > e.max)
            return -EINVAL;
    }
    const bool changed = !std::equal(value, value + e.channels, e.value.begin());
    std::copy_n(value, e.channels, e.value.begin());
    CardOf(ext)->Save();
    return changed ? 1 : 0;
}

int ReadEvent(snd_ctl_ext_t*, snd_ctl_elem_id_t*, unsigned*) {
    return -EAGAIN;
}

void Close(snd_ctl_ext_t* ext) {
    std::unique_ptr<Card> owned(CardOf(ext));
}

snd_ctl_ext_callback_t kCallbacks = {
    .close = Close,
    .elem_count = ElemCount,
    .elem_list = ElemList,
    .find_elem = FindElem,
    .free_key = nullptr,
    .get_attribute = GetAttribute,
    .get_integer_info = GetIntegerInfo,
    .get_integer64_info = nullptr,
    .get_enumerated_info = nullptr,
    .get_enumerated_name = nullptr,
    .read_integer = ReadInteger,
    .read_integer64 = nullptr,
    .read_enumerated = nullptr,
    .read_bytes = nullptr,
    .read_iec958 = nullptr,
    .write_integer = WriteInteger,
    .write_integer64 = nullptr,
    .write_enumerated = nullptr,
    .write_bytes = nullptr,
    .write_iec958 = nullptr,
    .subscribe_events = nullptr,
    .read_event = ReadEvent,
    .poll_descriptors_count = nullptr,
    .poll_descriptors = nullptr,
    .poll_revents = nullptr,
};

}  // namespace

extern "C" SND_CTL_PLUGIN_DEFINE_FUNC(morvatest) {
    (void)root;
    bool monitor = true;
    long steps = 31;
    std::string state;
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf) {
        snd_config_t* n = snd_config_iterator_entry(i);
        const char* id = nullptr;
        if (snd_config_get_id(n, &id) < 0)
            continue;
        const std::string key = id;
        if (key == "comment" || key == "type" || key == "hint")
            continue;
        if (key == "monitor") {
            int b = snd_config_get_bool(n);
            if (b < 0)
                return b;
            monitor = b != 0;
        } else if (key == "steps") {
            if (snd_config_get_integer(n, &steps) < 0 || steps < 1)
                return -EINVAL;
        } else if (key == "state") {
            const char* path = nullptr;
            if (snd_config_get_string(n, &path) < 0)
                return -EINVAL;
            state = path;
        } else {
            return -EINVAL;
        }
    }
    if (state.empty())
        return -EINVAL;
    auto card = std::make_unique<Card>();
    card->stateFile = state;
    card->elements.push_back({"Mic Capture Volume", false, steps, 2, {}});
    card->elements.push_back({"Mic Capture Switch", true, 1, 1, {1}});
    if (monitor) {
        card->elements.push_back({"Mic Playback Volume", false, 127, 1, {}});
        card->elements.push_back({"Mic Playback Switch", true, 1, 1, {}});
    }
    card->elements.push_back({"PCM Playback Volume", false, 255, 2, {}});
    if (std::ifstream(state))
        card->Load();
    else
        card->Save();

    snd_ctl_ext_t& ext = card->ext;
    ext.version = SND_CTL_EXT_VERSION;
    ext.card_idx = 0;
    std::strcpy(ext.id, "MorvaTest");
    std::strcpy(ext.driver, "morvatest");
    std::strcpy(ext.name, "Morva Test Headset");
    std::strcpy(ext.longname, "Morva Test Headset (user-space control)");
    std::strcpy(ext.mixername, "Morva Test Mixer");
    ext.poll_fd = -1;
    ext.callback = &kCallbacks;
    ext.private_data = card.get();
    int err = snd_ctl_ext_create(&ext, name, mode);
    if (err < 0)
        return err;
    *handlep = ext.handle;
    card.release();  // owned by the control handle now; freed in Close
    return 0;
}

// The version mark alsa-lib checks before it calls the open function (built with -DPIC).
extern "C" {
SND_CTL_PLUGIN_SYMBOL(morvatest);
}

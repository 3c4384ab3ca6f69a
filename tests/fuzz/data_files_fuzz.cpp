// The program's data files, each read as the program reads it: the first byte picks the
// file, the rest is its content. Every file lives in a folder of the fuzzer's own.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "device/device_tables.h"
#include "device/models/default_data.h"
#include "device/models/shoot_patterns.h"
#include "macro/macro_store.h"
#include "profile/audio_style_store.h"
#include "profile/json_file.h"
#include "profile/keyboard_profiledata.h"
#include "profile/mouse_profiledata.h"
#include "profile/profile_bindings.h"
#include "profile/profile_list_store.h"
#include "scratch_folder.h"

namespace morva {
namespace {

const std::string& Folder() {
    return fuzz::ScratchFolder();
}

void Put(const std::string& name, std::string_view bytes) {
    std::ofstream out(Folder() + name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

constexpr std::string_view kOneProfile =
    R"({"profilelist":[{"profilename":"a","profileUUID":"pa"},)"
    R"({"profilename":"b","profileUUID":"pb"}],"profileselect":0})";
constexpr std::string_view kOneMacro = R"({"MacroInfo":[{"MacroName":"m","Guid":"gm"}]})";

void ReadFile(int kind, std::string_view bytes) {
    const std::string& f = Folder();
    switch (kind) {
        case 0: {  // the profile list, then what a user does with it
            Put(CProfileListStore::kListFileName, bytes);
            CProfileListStore store(2, f, f + "default.Json");
            (void)store.InitProfileList();
            (void)store.SelectProfile(1);
            (void)store.CopyProfile();
            (void)store.RenameProfile("renamed");
            (void)store.DeleteProfile();
            break;
        }
        case 1: {  // the macro list
            Put(CMacroStore::kListFileName, bytes);
            CMacroStore store(f);
            (void)store.LoadMacroList();
            (void)LoadMacroEvents(f, {0, 1, 2});
            break;
        }
        case 2: {  // one macro file
            Put(CMacroStore::kListFileName, kOneMacro);
            Put("gm.mac", bytes);
            (void)LoadMacroEvents(f, {0});
            break;
        }
        case 3: {  // a profile document, read by the mouse's and the keyboard's sections
            Put("pa.Json", bytes);
            CMouseProfiledata mouse;
            mouse.SetDocumentPath(f + "pa.Json");
            (void)mouse.ReadDpiStages();
            (void)mouse.ReadMouseStages();
            (void)mouse.ReadCorrectInfo();
            (void)mouse.ReadLightInfo();
            (void)mouse.ReadKeyList();
            (void)mouse.ReadEffectList();
            CKeyboardProfiledata keyboard;
            keyboard.SetDocumentPath(f + "pa.Json");
            (void)keyboard.ReadKeyboardStages();
            (void)keyboard.ReadFnKeysetFlag();
            (void)keyboard.ReadCustomLightGroup();
            (void)keyboard.ReadAudioLightInfo();
            break;
        }
        case 4: {  // the programs bound to profiles
            Put(CProfileListStore::kListFileName, kOneProfile);
            Put(CProfileBindings::kFileName, bytes);
            CProfileListStore profiles(2, f, f + "default.Json");
            (void)profiles.InitProfileList();
            CProfileBindings bindings(f);
            (void)bindings.ProgramsOf("pa");
            (void)bindings.ProfileFor({"steam", "Steam", "steam"}, profiles);
            break;
        }
        case 5: {  // the music lighting styles, as the user's file and as the factory one
            Put("AudioFile.json", bytes);
            CAudioStyleStore styles(f + "AudioFile.json", f + "AudioFile.json");
            styles.Load();
            (void)styles.LoadAudioStyle();
            break;
        }
        case 6:  // a recoil pattern file
            Put("pattern.Shoot", bytes);
            (void)ReadShootPattern(ReadJsonFile(f + "pattern.Shoot"));
            break;
        case 7: {  // the factory light presets and custom effects of each kind of device
            Put("default_light.json", bytes);
            for (const int kindOfDevice : {kKindKeyboard, kKindMouse, kKindMousePad}) {
                CDeviceDefaultData data;
                data.LoadDefaultData(f, f, kindOfDevice, CMacroStore::kListFileName);
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace
}  // namespace morva

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    morva::ReadFile(data[0] % 8,
                    std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    // What one input wrote must not shape the next.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(morva::Folder(), ec))
        std::filesystem::remove_all(entry.path(), ec);
    return 0;
}

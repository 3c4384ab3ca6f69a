#include "tools/morvactl/profile_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>

#include "base/parse_int.h"
#include "device/device_folders.h"
#include "device/device_tables.h"
#include "device/models/keyboard_device.h"
#include "device/models/mouse_device.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/profile_bindings.h"
#include "profile/profile_list_store.h"
#include "tools/morvactl/cli_common.h"
#include "tools/morvactl/interface_scan.h"

namespace morva::cli {

namespace {

struct DeviceFolder {
    const char* name;
    const char* modelFolder;
    int deviceType;
};

constexpr DeviceFolder kDevices[] = {
    {"mouse", "mouse", kDeviceTypeMouse},
    {"keyboard", "keyboard", kDeviceTypeKeyboard},
    {"pad", "MousePad", kDeviceTypeMousePad},
    {"headset", "HD", kDeviceTypeHeadset},
};

const DeviceFolder* FindDevice(const std::string& name) {
    for (const DeviceFolder& d : kDevices) {
        if (name == d.name)
            return &d;
    }
    return nullptr;
}

bool ParseIndex(const std::string& text, int& value) {
    const std::optional<long long> v = ParseInt(text, 0);
    if (v)
        value = static_cast<int>(*v);
    return v.has_value();
}

class ProfileSession {
public:
    ProfileSession(const ProfileEnvironment& env, const DeviceFolder& device, std::ostream& out,
                   std::ostream& err)
        : env_(env), device_(device), out_(out), err_(err) {}

    int Run(const ProfileRequest& r) {
        const std::string folder =
            GetUserDataFolder(LocalAppDataFolder(env_.dataDir), device_.modelFolder);
        if (folder.empty())
            return Fail("cannot create the data folder under " + LocalAppDataFolder(env_.dataDir));
        store_ = std::make_unique<CProfileListStore>(
            device_.deviceType, folder,
            GetDefaultProfilePath(env_.resourceFolder, device_.modelFolder));
        (void)TakeLastWriteError();  // only this command's failures are named
        // The program does the same on start: a folder without a list gets "profile1".
        if (store_->InitProfileList() != 0)
            return Check(-1, "cannot write the profile list " + store_->ListFilePath());

        using Op = ProfileRequest::Op;
        const bool needsFile = r.op == Op::Export || r.op == Op::Reset;
        if (needsFile && store_->GetCurrentProfilePath().empty()) {
            return Fail("the selected profile's id cannot name a file in " + folder +
                        "; select another profile or delete this one");
        }
        int status = kExitOk;
        bool download = false;
        switch (r.op) {
            case Op::List:
                break;
            case Op::Add:
                if (store_->GetProfileCount() >= CProfileListStore::kMaxAddedProfiles) {
                    return Fail("at most " + std::to_string(CProfileListStore::kMaxAddedProfiles) +
                                " profiles can be added (copy or import one instead)");
                }
                status = Check(store_->AddProfile(), "adding the profile failed");
                download = true;
                break;
            case Op::Copy:
                status = Check(store_->CopyProfile(), "copying the profile failed");
                break;
            case Op::Delete:
                if (store_->GetProfileCount() <= 1)
                    return Fail("the last profile cannot be deleted");
                status = Check(store_->DeleteProfile(), "deleting the profile failed");
                download = true;
                break;
            case Op::Rename:
                status = Rename(r.text);
                break;
            case Op::Select:
                if (r.index >= store_->GetProfileCount()) {
                    return Fail("there is no profile " + std::to_string(r.index) +
                                " (the list has " + std::to_string(store_->GetProfileCount()) +
                                ")");
                }
                status = Check(store_->SelectProfile(r.index), "selecting the profile failed");
                download = true;
                break;
            case Op::Export:
                status = Check(store_->ExportProfile(r.text), "cannot write " + r.text);
                break;
            case Op::Import:
                status = Import(r.text);
                break;
            case Op::Reset:
                status = Check(store_->ResetProfile(), "resetting the profile failed");
                download = true;
                break;
            case Op::Bind:
            case Op::Unbind:
                status = r.op == Op::Bind ? Bind(r.text) : Unbind(r.text);
                [[fallthrough]];
            case Op::Bindings:
                return status == kExitOk ? PrintBindings() : status;
        }
        if (status != kExitOk)
            return status;
        if (const int listed = PrintList(); listed != kExitOk)
            return listed;
        return download ? Download() : kExitOk;
    }

private:
    int Rename(const std::string& name) {
        switch (store_->RenameProfile(name)) {
            case 1:
                return kExitOk;
            case 0:
                return Fail("another profile is called \"" + name + "\"");
            case 2:
                return Fail("the name cannot be blank");
            default:
                return Fail("renaming the profile failed");
        }
    }

    int Import(const std::string& path) {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(path, ec);
        if (status.type() == std::filesystem::file_type::not_found)
            return Fail(path + " does not exist");
        if (ec)
            return Fail("cannot read " + path + ": " + ec.message());
        if (!std::filesystem::is_regular_file(status))
            return Fail(path + " is not a file");
        if (!std::ifstream(path, std::ios::binary))
            return Fail("cannot read " + path + ": " + std::strerror(errno));
        const Json::Value doc = ReadJsonFile(path);
        if (!json::Has(doc, "profilename") || !json::Has(doc, "profileUUID"))
            return Fail(path + " is not a profile (it needs \"profilename\" and \"profileUUID\")");
        return Check(store_->ImportProfile(path), "importing " + path + " failed");
    }

    // The name as it is kept, or empty after saying why there is none (without repeating the
    // text: it may hold control characters).
    std::optional<std::string> Program(const std::string& text) {
        std::optional<std::string> name = ProgramName(text);
        if (!name) {
            Fail(
                "that is not a program name: give its window class or instance, or its "
                "executable's name (1 to " +
                std::to_string(kMaxProgramNameLength) +
                " characters, no '/' or control characters)");
        }
        return name;
    }

    int Bind(const std::string& text) {
        const std::optional<std::string> name = Program(text);
        if (!name)
            return kExitFailed;
        const std::string& id = store_->GetCurrentProfileId();
        if (!IsPlainName(id))
            return Fail("the selected profile's id cannot be bound; select another profile");
        CProfileBindings bindings(store_->UserDataFolder());
        return Check(bindings.Bind(id, *name), "cannot write " + bindings.FilePath());
    }

    int Unbind(const std::string& text) {
        const std::optional<std::string> name = Program(text);
        if (!name)
            return kExitFailed;
        CProfileBindings bindings(store_->UserDataFolder());
        const int result = bindings.Unbind(*name);
        if (result == CProfileBindings::kUnchanged)
            return Fail(*name + " is not bound to a profile");
        return Check(result, "cannot write " + bindings.FilePath());
    }

    int PrintBindings() {
        CProfileBindings bindings(store_->UserDataFolder());
        store_->GetProfileCount();
        for (const ProfileEntry& entry : store_->Entries()) {
            const std::vector<std::string> programs = bindings.ProgramsOf(entry.id);
            if (programs.empty())
                continue;
            out_ << entry.name << ':';
            for (std::size_t i = 0; i < programs.size(); ++i)
                out_ << (i == 0 ? " " : ", ") << programs[i];
            out_ << '\n';
        }
        return kExitOk;
    }

    int PrintList() {
        // The list file itself: its mark is what the program will load.
        const Json::Value list = ReadJsonFile(store_->ListFilePath());
        const int selected = json::ToInt(json::Get(list, "profileselect"), -1);
        store_->GetProfileCount();
        const std::vector<ProfileEntry>& entries = store_->Entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            out_ << i << '\t' << entries[i].name << '\t' << entries[i].id
                 << (static_cast<int>(i) == selected ? "\t*" : "") << '\n';
        }
        return kExitOk;
    }

    // The selected profile goes to the device the way the program's profile switch sends it.
    int Download() {
        if (device_.deviceType == kDeviceTypeMouse) {
            CTessaronMouseDevice mouse(env_.backend);
            return DownloadTo(mouse, [&] { mouse.ReadFromDevice(); });
        }
        if (device_.deviceType == kDeviceTypeKeyboard) {
            CTessaronKeyboardDevice keyboard(env_.backend);
            // The keyboard's own record would overwrite the profile about to be sent.
            return DownloadTo(keyboard, [&] { keyboard.ReadKeyLayout(); });
        }
        err_ << "morvactl: note: only the files changed; the " << device_.name
             << " is not sent profiles yet (its device class is not built)\n";
        return kExitOk;
    }

    // `read` learns what the key table needs (key positions) without touching the profile.
    int DownloadTo(CTessaronUSBDevice& model, const std::function<void()>& read) {
        const ProductRows rows = RowsOf(static_cast<std::uint16_t>(device_.deviceType));
        const ScanResult scan = ScanSupportedInterfaces(env_.backend);
        const bool present =
            std::any_of(scan.interfaces.begin(), scan.interfaces.end(), [&](const auto& f) {
                return f.row == rows.cableRow ||
                       (rows.receiverRow >= 0 && f.row == rows.receiverRow);
            });
        if (!present) {
            err_ << "morvactl: note: the " << device_.name
                 << " is not connected; it gets the profile when the program next sends it\n";
            return kExitOk;
        }
        model.SetProfileName(store_->GetCurrentProfileId());
        if (OpenModel(model, static_cast<std::uint16_t>(device_.deviceType), device_.name,
                      env_.backend, env_.dataDir, env_.resourceFolder, err_) != kExitOk) {
            return kExitFailed;
        }
        read();
        model.StopLightThread();
        const auto info = model.Info();
        if (std::all_of(info.begin(), info.end(), [](std::uint8_t b) { return b == 0; })) {
            return Fail(std::string("the ") + device_.name +
                        " could not be read: " + ResultText(kResultNoAnswer));
        }

        model.SetScreenPixels(env_.screenWidth, env_.screenHeight);
        // The program's profile switch: settings, the macros the keys use, the key table.
        if (const OpResult r = model.ApplyProfile(); !r.Ok()) {
            if (r.messageKey == kMsgMacrosTooLarge) {
                return Fail("the macros do not fit: about " + std::to_string(r.detail) +
                            " events too many");
            }
            return Fail("sending the profile failed: " + ResultText(r.code));
        }
        err_ << "morvactl: the " << device_.name << " holds profile "
             << store_->GetCurrentProfileId() << '\n';
        return kExitOk;
    }

    int Check(int result, const std::string& failure) {
        if (result >= 0)
            return kExitOk;
        const std::string why = TakeLastWriteError();
        return Fail(why.empty() ? failure : failure + " (" + why + ")");
    }

    int Fail(const std::string& text) {
        err_ << "morvactl: profile " << device_.name << ": " << text << '\n';
        return kExitFailed;
    }

    const ProfileEnvironment& env_;
    const DeviceFolder& device_;
    std::ostream& out_;
    std::ostream& err_;
    std::unique_ptr<CProfileListStore> store_;
};

}  // namespace

const char* ProfileCommandUsage() {
    return R"(  profile DEVICE list        the profiles of DEVICE (mouse, keyboard, pad, headset), one
                             line each: INDEX, NAME, ID and "*" on the selected one, tab-
                             separated; a folder without a list gets "profile1"
  profile DEVICE add         add "profileN" with the factory settings and select it
  profile DEVICE copy        add a copy of the selected profile ("NAME copy")
  profile DEVICE delete      delete the selected profile (not the last one); the one
                             before it is selected
  profile DEVICE rename NAME rename the selected profile
  profile DEVICE select INDEX
                             select profile INDEX (from 0)
  profile DEVICE export FILE write the selected profile to FILE
  profile DEVICE import FILE add the profile in FILE, named after the file
  profile DEVICE reset       give the selected profile the factory settings
                             Each above prints the list afterwards. When add, delete,
                             select or reset leave the mouse with another profile, a
                             connected mouse is sent it: settings, macros and key table.
  profile DEVICE bind PROGRAM
                             bind PROGRAM (its X11 window class or instance, or its
                             executable's name; case is ignored) to the selected profile,
                             taking it from the profile it was bound to
  profile DEVICE unbind PROGRAM
                             take PROGRAM from the profile it is bound to
  profile DEVICE bindings    the bound programs, one line per profile that has any:
                             "NAME: PROGRAM, PROGRAM"; bind and unbind print them too
)";
}

bool ParseProfileCommand(const std::vector<std::string>& words, ProfileRequest& request,
                         std::string& error) {
    using Op = ProfileRequest::Op;
    if (words.empty() || FindDevice(words[0]) == nullptr) {
        error = "profile takes DEVICE first: mouse, keyboard, pad or headset";
        return false;
    }
    ProfileRequest r;
    r.device = words[0];
    const std::string verb = words.size() > 1 ? words[1] : std::string();
    const std::size_t n = words.size();
    const std::pair<const char*, Op> plain[] = {{"list", Op::List},   {"add", Op::Add},
                                                {"copy", Op::Copy},   {"delete", Op::Delete},
                                                {"reset", Op::Reset}, {"bindings", Op::Bindings}};
    for (const auto& [word, op] : plain) {
        if (verb == word && n == 2) {
            r.op = op;
            request = r;
            return true;
        }
    }
    if (verb == "select" && n == 3) {
        r.op = Op::Select;
        if (!ParseIndex(words[2], r.index)) {
            error = "profile select takes an INDEX from 0";
            return false;
        }
    } else if ((verb == "rename" || verb == "export" || verb == "import") && n == 3) {
        r.op = verb == "rename" ? Op::Rename : verb == "export" ? Op::Export : Op::Import;
        r.text = words[2];
    } else if ((verb == "bind" || verb == "unbind") && n == 3) {
        r.op = verb == "bind" ? Op::Bind : Op::Unbind;
        r.text = words[2];
    } else {
        error =
            "profile DEVICE takes list, add, copy, delete, rename NAME, select INDEX, export "
            "FILE, import FILE, reset, bind PROGRAM, unbind PROGRAM or bindings (see --help)";
        return false;
    }
    request = r;
    return true;
}

int RunProfileCommand(const ProfileRequest& request, const ProfileEnvironment& environment,
                      std::ostream& out, std::ostream& err) {
    const DeviceFolder* device = FindDevice(request.device);
    if (device == nullptr) {
        err << "morvactl: unknown profile device '" << request.device << "'\n";
        return kExitUsage;
    }
    return ProfileSession(environment, *device, out, err).Run(request);
}

}  // namespace morva::cli

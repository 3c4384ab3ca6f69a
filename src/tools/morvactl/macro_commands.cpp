#include "tools/morvactl/macro_commands.h"

#include <memory>

#include "device/device_folders.h"
#include "device/device_tables.h"
#include "device/models/keyboard_device.h"
#include "device/models/mouse_device.h"
#include "macro/macro_action_list.h"
#include "macro/macro_store.h"
#include "profile/profile_list_store.h"
#include "tools/morvactl/cli_common.h"

namespace morva::cli {

namespace {

const char* DirectionText(const MacroEvent& e) {
    return e.down ? "down" : "up";
}

class MacroSession {
public:
    MacroSession(const MacroRequest& r, const MouseEnvironment& env, std::ostream& out,
                 std::ostream& err)
        : request_(r), env_(env), out_(out), err_(err) {
        if (r.keyboard)
            model_ = std::make_unique<CTessaronKeyboardDevice>(env.backend);
        else
            model_ = std::make_unique<CTessaronMouseDevice>(env.backend);
        deviceType_ = r.keyboard ? kDeviceTypeKeyboard : kDeviceTypeMouse;
        deviceName_ = r.keyboard ? "keyboard" : "mouse";
    }

    int Run() {
        using Op = MacroRequest::Op;
        if (request_.op == Op::Delete)
            return Delete();
        model_->SetDataRoots(env_.dataDir, env_.resourceFolder);
        model_->ApplyTypeRow(RowsOf(deviceType_).typeRow);
        if (model_->GetUserDataFolder().empty())
            return Fail("cannot create the data folder under " + LocalAppDataFolder(env_.dataDir));
        store_ = std::make_unique<CMacroStore>(model_->GetUserDataFolder());
        store_->LoadMacroList();
        switch (request_.op) {
            case Op::List:
                for (int i = 0; i < store_->GetMacroCount(); ++i)
                    out_ << i << ' ' << store_->GetMacroName(i) << '\n';
                return kExitOk;
            case Op::Show:
                return Show();
            case Op::Import: {
                std::string name;
                if (const int s = Report(model_->ImportMacro(request_.file, &name)); s != kExitOk)
                    return s;
                out_ << "imported " << name << '\n';
                return kExitOk;
            }
            case Op::Export: {
                const int index = Index();
                if (index < 0)
                    return kExitFailed;
                return Report(model_->ExportMacro(index, request_.file));
            }
            case Op::Delete:
                break;
        }
        return kExitUsage;
    }

private:
    int Index() {
        for (int i = 0; i < store_->GetMacroCount(); ++i) {
            if (store_->GetMacroName(i) == request_.name)
                return i;
        }
        Fail("there is no macro named \"" + request_.name + "\"");
        return -1;
    }

    int Show() {
        const int index = Index();
        if (index < 0)
            return kExitFailed;
        for (const MacroEvent& e : store_->GetMacroEvents(index)) {
            const MacroActionLabel label = LabelOfAction(e);
            out_ << DirectionText(e) << " type " << e.type << " button " << e.button << " delay "
                 << e.delay;
            if (!label.nameKey.empty())
                out_ << ' ' << label.nameKey;
            out_ << '\n';
        }
        return kExitOk;
    }

    int Delete() {
        if (OpenModel(*model_, deviceType_, deviceName_, env_.backend, env_.dataDir,
                      env_.resourceFolder, err_) != kExitOk)
            return kExitFailed;
        model_->ReadFromDevice();
        model_->StopLightThread();
        store_ = std::make_unique<CMacroStore>(model_->GetUserDataFolder());
        store_->LoadMacroList();
        const int index = Index();
        if (index < 0)
            return kExitFailed;
        CProfileListStore profiles(deviceType_, model_->GetUserDataFolder(),
                                   model_->GetDefaultProfilePath());
        profiles.InitProfileList();
        std::vector<std::string> others;
        for (int i = 0; i < profiles.GetProfileCount(); ++i) {
            if (i != profiles.GetSelectedIndex())
                others.push_back(profiles.GetProfilePathAt(i));
        }
        if (const int s = Report(model_->DeleteMacro(index, others)); s != kExitOk)
            return s;
        out_ << "deleted " << request_.name << '\n';
        return kExitOk;
    }

    int Report(const OpResult& result) {
        if (result.Ok())
            return kExitOk;
        std::string why = ExplainShared(result, *model_, deviceName_);
        if (why.empty()) {
            if (result.messageKey == kMsgMacroLimit)
                why = "the list already holds " + std::to_string(result.detail) + " macros";
            else if (result.messageKey == kMsgMacroUnreadable)
                why = "not a macro file";
            else if (result.messageKey == kMsgMacroFileError)
                why = "the macro file could not be written";
            else
                why = ResultText(result.code);
        }
        return Fail(why);
    }

    int Fail(const std::string& why) {
        err_ << "morvactl: macro: " << why << '\n';
        return kExitFailed;
    }

    const MacroRequest& request_;
    const MouseEnvironment& env_;
    std::ostream& out_;
    std::ostream& err_;
    std::unique_ptr<CTessaronUSBDevice> model_;
    std::unique_ptr<CMacroStore> store_;
    std::uint16_t deviceType_ = kDeviceTypeMouse;
    std::string deviceName_;
};

}  // namespace

const char* MacroCommandUsage() {
    return R"(  macro [mouse|keyboard] list              the macros: "N NAME" per line
  macro [mouse|keyboard] show NAME         one line per action: direction, type, button,
                                           delay and the key or button
  macro [mouse|keyboard] import FILE       adds the .mac file as a new macro
  macro [mouse|keyboard] export NAME FILE  copies the macro's file unchanged
  macro [mouse|keyboard] delete NAME       deletes it; keys bound to it get their default,
                                           keys bound to later macros follow, in every
                                           profile, and the device gets its macros again
)";
}

bool ParseMacroCommand(const std::vector<std::string>& words, MacroRequest& r, std::string& error) {
    std::size_t at = 0;
    if (at < words.size() && (words[at] == "mouse" || words[at] == "keyboard"))
        r.keyboard = words[at++] == "keyboard";
    const std::size_t n = words.size() - at;
    const std::string verb = n > 0 ? words[at] : std::string();
    using Op = MacroRequest::Op;
    if (verb == "list" && n == 1) {
        r.op = Op::List;
    } else if (verb == "show" && n == 2) {
        r.op = Op::Show;
        r.name = words[at + 1];
    } else if (verb == "import" && n == 2) {
        r.op = Op::Import;
        r.file = words[at + 1];
    } else if (verb == "export" && n == 3) {
        r.op = Op::Export;
        r.name = words[at + 1];
        r.file = words[at + 2];
    } else if (verb == "delete" && n == 2) {
        r.op = Op::Delete;
        r.name = words[at + 1];
    } else {
        error = "macro takes list, show NAME, import FILE, export NAME FILE or delete NAME";
        return false;
    }
    return true;
}

int RunMacroCommand(const MacroRequest& request, const MouseEnvironment& environment,
                    std::ostream& out, std::ostream& err) {
    return MacroSession(request, environment, out, err).Run();
}

}  // namespace morva::cli

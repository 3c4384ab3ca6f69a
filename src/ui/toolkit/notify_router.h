// Routes control notifications to handlers by notification type and control name: exact
// names first, then prefix rules on numbered names ("key_" 12), then the later exact names;
// "also" rules run besides whatever else matched. Names compare without regard to case
// unless a rule says otherwise.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/name_index.h"

namespace morva::ui {

using morva::EqualsNoCase;
using morva::SplitName;
using morva::SplitNameIndex;

template <typename Notification>
class CNotifyRouter {
public:
    // `index` is the number of a prefix rule's name, else 0.
    using Handler = std::function<void(const Notification&, int index)>;

    void AddExact(std::string type, std::string name, Handler handler, bool caseSensitive = false) {
        rules_.push_back(
            {Phase::Exact, std::move(type), std::move(name), caseSensitive, std::move(handler)});
    }
    void AddPrefix(std::string type, std::string prefix, Handler handler) {
        rules_.push_back(
            {Phase::Prefix, std::move(type), std::move(prefix), false, std::move(handler)});
    }
    void AddLateExact(std::string type, std::string name, Handler handler,
                      bool caseSensitive = false) {
        rules_.push_back({Phase::LateExact, std::move(type), std::move(name), caseSensitive,
                          std::move(handler)});
    }
    void AddAlso(std::string type, std::string name, Handler handler) {
        rules_.push_back(
            {Phase::Also, std::move(type), std::move(name), false, std::move(handler)});
    }

    // Runs the first matching rule of the first three phases, then every matching "also"
    // rule. True when anything ran.
    bool Dispatch(std::string_view type, std::string_view name, const Notification& n) const {
        bool ran = RunFirst(Phase::Exact, type, name, n) ||
                   RunFirst(Phase::Prefix, type, name, n) ||
                   RunFirst(Phase::LateExact, type, name, n);
        for (const Rule& r : rules_) {
            if (r.phase == Phase::Also && r.type == type && EqualsNoCase(r.name, name)) {
                r.handler(n, 0);
                ran = true;
            }
        }
        return ran;
    }

    // The names the rules match, with whether each is a prefix of numbered names.
    std::vector<std::pair<std::string, bool>> Names() const {
        std::vector<std::pair<std::string, bool>> names;
        for (const Rule& r : rules_)
            names.emplace_back(r.name, r.phase == Phase::Prefix);
        return names;
    }

private:
    enum class Phase { Exact, Prefix, LateExact, Also };
    struct Rule {
        Phase phase;
        std::string type;
        std::string name;
        bool caseSensitive;
        Handler handler;
    };

    bool RunFirst(Phase phase, std::string_view type, std::string_view name,
                  const Notification& n) const {
        const SplitName split = phase == Phase::Prefix ? SplitNameIndex(name) : SplitName{};
        if (phase == Phase::Prefix && !split.hasIndex)
            return false;
        for (const Rule& r : rules_) {
            if (r.phase != phase || r.type != type)
                continue;
            if (phase == Phase::Prefix) {
                if (!EqualsNoCase(r.name, split.prefix))
                    continue;
                r.handler(n, split.index);
                return true;
            }
            if (r.caseSensitive ? r.name == name : EqualsNoCase(r.name, name)) {
                r.handler(n, 0);
                return true;
            }
        }
        return false;
    }

    std::vector<Rule> rules_;
};

}  // namespace morva::ui

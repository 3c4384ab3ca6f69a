#include "sim/sim_control.h"

#include <optional>
#include <string_view>

#include "base/parse_int.h"

namespace morva::sim {

namespace {

struct VerbRow {
    SimVerb verb;
    std::string_view name;
    std::string_view arguments;
    std::size_t arity;
};

constexpr VerbRow kVerbs[] = {
    {SimVerb::Plug, "plug", "LINK", 1},
    {SimVerb::Unplug, "unplug", "LINK", 1},
    {SimVerb::Reach, "reach", "PRODUCT", 1},
    {SimVerb::Unreach, "unreach", "PRODUCT", 1},
    {SimVerb::Event, "event", "LINK WORD", 2},
    {SimVerb::Status, "status", "PRODUCT B0 B1 B2 B3 B4 B5", 7},
    {SimVerb::Mute, "mute", "LINK COUNT", 2},
};

std::string VerbNames() {
    std::string names;
    for (const VerbRow& row : kVerbs)
        names += (names.empty() ? "" : ", ") + std::string(row.name);
    return names;
}

std::string LinkNames() {
    std::string names;
    for (Link link : kAllLinks)
        names += (names.empty() ? "" : ", ") + std::string(LinkName(link));
    return names;
}

std::string ProductNames() {
    std::string names;
    for (Product product : kAllProducts)
        names += (names.empty() ? "" : ", ") + std::string(ProductName(product));
    return names;
}

std::string Quoted(std::string_view word) {
    return "\"" + std::string(word) + "\"";
}

bool ParseNumber(std::string_view text, int base, unsigned max, unsigned& value) {
    const std::optional<long long> v = ParseInt(text, 0, max, base);
    if (v)
        value = static_cast<unsigned>(*v);
    return v.has_value();
}

bool HasHexPrefix(std::string_view text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

bool ParseWord(std::string_view text, std::uint16_t& word) {
    if (HasHexPrefix(text))
        text.remove_prefix(2);
    unsigned v = 0;
    if (!ParseNumber(text, 16, 0xFFFF, v))
        return false;
    word = static_cast<std::uint16_t>(v);
    return true;
}

bool ParseByte(std::string_view text, std::uint8_t& byte) {
    unsigned v = 0;
    const bool ok = HasHexPrefix(text) ? ParseNumber(text.substr(2), 16, 0xFF, v)
                                       : ParseNumber(text, 10, 0xFF, v);
    if (ok)
        byte = static_cast<std::uint8_t>(v);
    return ok;
}

bool ParseLinkWord(const std::string& text, Link& link, std::string& error) {
    const std::optional<Link> parsed = ParseLink(text);
    if (!parsed) {
        error = "unknown link " + Quoted(text) + " (known: " + LinkNames() + ")";
        return false;
    }
    link = *parsed;
    return true;
}

bool ParseProductWord(const std::string& text, Product& product, std::string& error) {
    const std::optional<Product> parsed = ParseProduct(text);
    if (!parsed) {
        error = "unknown product " + Quoted(text) + " (known: " + ProductNames() + ")";
        return false;
    }
    product = *parsed;
    return true;
}

}  // namespace

bool ParseSimCommand(const std::vector<std::string>& args, SimCommand& out, std::string& error) {
    if (args.empty()) {
        error = "no simulator command (one of: " + VerbNames() + ")";
        return false;
    }
    const VerbRow* row = nullptr;
    for (const VerbRow& candidate : kVerbs) {
        if (candidate.name == args[0])
            row = &candidate;
    }
    if (row == nullptr) {
        error = "unknown simulator command " + Quoted(args[0]) + " (one of: " + VerbNames() + ")";
        return false;
    }
    if (args.size() != row->arity + 1) {
        error = "wrong number of arguments for " + Quoted(row->name) +
                " (usage: " + std::string(row->name) + " " + std::string(row->arguments) + ")";
        return false;
    }
    SimCommand command;
    command.verb = row->verb;
    switch (row->verb) {
        case SimVerb::Plug:
        case SimVerb::Unplug:
            if (!ParseLinkWord(args[1], command.link, error))
                return false;
            break;
        case SimVerb::Reach:
        case SimVerb::Unreach:
            if (!ParseProductWord(args[1], command.product, error))
                return false;
            break;
        case SimVerb::Event:
            if (!ParseLinkWord(args[1], command.link, error))
                return false;
            if (!ParseWord(args[2], command.word)) {
                error = "bad event word " + Quoted(args[2]) +
                        " (hexadecimal 0 to ffff, with or without 0x)";
                return false;
            }
            break;
        case SimVerb::Mute: {
            if (!ParseLinkWord(args[1], command.link, error))
                return false;
            unsigned count = 0;
            if (!ParseNumber(args[2], 10, 0xFFFF, count)) {
                error = "bad count " + Quoted(args[2]) + " (0 to 65535 reports)";
                return false;
            }
            command.word = static_cast<std::uint16_t>(count);
            break;
        }
        case SimVerb::Status:
            if (!ParseProductWord(args[1], command.product, error))
                return false;
            for (std::size_t i = 0; i < command.status.size(); ++i) {
                if (!ParseByte(args[i + 2], command.status[i])) {
                    error = "bad status byte " + Quoted(args[i + 2]) +
                            " (decimal 0 to 255, or hexadecimal 0x00 to 0xff)";
                    return false;
                }
            }
            break;
    }
    out = command;
    return true;
}

bool ApplySimCommand(SimBus& bus, const SimCommand& command, std::string& error) {
    switch (command.verb) {
        case SimVerb::Plug:
            bus.Plug(command.link);
            return true;
        case SimVerb::Unplug:
            bus.Unplug(command.link);
            return true;
        case SimVerb::Reach:
        case SimVerb::Unreach:
            bus.SetReachable(command.product, command.verb == SimVerb::Reach);
            return true;
        case SimVerb::Event:
            if (bus.SendEvent(command.link, command.word))
                return true;
            // Checked after the refusal, so the message names the reason that applied.
            if (!bus.IsPlugged(command.link)) {
                error = Quoted(LinkName(command.link)) + " is not plugged in";
            } else {
                const std::string product(ProductName(ProductOf(command.link)));
                error = "the " + product + " is out of reach of its receiver (reach " + product +
                        " brings it back)";
            }
            return false;
        case SimVerb::Status:
            bus.SetStatusBlock(command.product, command.status);
            return true;
        case SimVerb::Mute:
            // The device still acts on each request; only its answers are lost.
            bus.ClearFaults(command.link);
            bus.InjectFault(command.link, Fault::NoAnswer, command.word);
            return true;
    }
    error = "unknown simulator command";
    return false;
}

bool ApplySimCommand(SimBus& bus, const std::vector<std::string>& args, std::string& error) {
    SimCommand command;
    return ParseSimCommand(args, command, error) && ApplySimCommand(bus, command, error);
}

std::string SimCommandUsage() {
    return "plug LINK, unplug LINK          plug a link in or pull it out\n"
           "reach PRODUCT, unreach PRODUCT  bring a receiver's wireless device into or out\n"
           "                                of range\n"
           "event LINK WORD                 an event word on the link (hexadecimal, at most\n"
           "                                ffff, 0x optional), e.g. event mouse 0401\n"
           "status PRODUCT B0 B1 B2 B3 B4 B5\n"
           "                                the six-byte status block (each byte decimal\n"
           "                                0..255 or hexadecimal 0x00..0xff)\n"
           "mute LINK COUNT                 the next COUNT command reports on the link go\n"
           "                                unanswered (0 answers again)\n"
           "LINK: " +
           LinkNames() + "\nPRODUCT: " + ProductNames() + "\n";
}

}  // namespace morva::sim

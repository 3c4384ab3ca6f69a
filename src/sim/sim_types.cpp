#include "sim/sim_types.h"

#include <algorithm>

#include "device/device_tables.h"

namespace morva::sim {

namespace {

struct LinkRow {
    Link link;
    Product product;
    std::string_view name;
    LinkIdentity identity;
    bool receiver;
};

constexpr LinkRow kLinkRows[] = {
    {Link::Mouse, Product::Mouse, "mouse", {kVendorId, kProductMouse, 0x0105}, false},
    {Link::MouseReceiver,
     Product::Mouse,
     "mouse-receiver",
     {kVendorId, kProductMouseReceiver, 0x0102},
     true},
    {Link::Keyboard, Product::Keyboard, "keyboard", {kVendorId, kProductKeyboard, 0x0111}, false},
    {Link::KeyboardReceiver,
     Product::Keyboard,
     "keyboard-receiver",
     {kVendorId, kProductKeyboardReceiver, 0x0104},
     true},
    {Link::Pad, Product::Pad, "pad", {kVendorId, kProductMousePad, 0x0100}, false},
    {Link::Headset,
     Product::Headset,
     "headset",
     {kHeadsetVendorId, kProductHeadset, 0x0109},
     false},
};

const LinkRow& RowOf(Link link) {
    return kLinkRows[static_cast<std::size_t>(link)];
}

constexpr std::string_view kProductNames[] = {"mouse", "keyboard", "pad", "headset"};

struct AreaRow {
    std::string_view name;
    std::size_t size;
};

constexpr AreaRow kAreaRows[kAreaCount] = {
    {"info", 34},        {"setting", 4096},   {"keytable", 512},   {"defaultkeytable", 512},
    {"fnkeytable", 512}, {"lightindex", 170}, {"colours", 4096},   {"macro", 32768},
    {"shoot", 65536},    {"status", 6},       {"lightframe", 512},
};

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

}  // namespace

std::string_view ProductName(Product product) {
    return kProductNames[static_cast<std::size_t>(product)];
}

std::optional<Product> ParseProduct(std::string_view name) {
    for (Product p : kAllProducts) {
        if (ProductName(p) == name)
            return p;
    }
    return std::nullopt;
}

std::string_view LinkName(Link link) {
    return RowOf(link).name;
}

std::optional<Link> ParseLink(std::string_view name) {
    for (const LinkRow& row : kLinkRows) {
        if (row.name == name)
            return row.link;
    }
    return std::nullopt;
}

bool ParseLinkList(std::string_view text, std::vector<Link>& links, std::string& error) {
    links.clear();
    if (Trim(text).empty())
        return true;
    const std::string_view whole = text;
    std::vector<Link> parsed;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view name = Trim(text.substr(0, comma));
        const std::optional<Link> link = ParseLink(name);
        if (!link) {
            std::string known;
            for (const LinkRow& row : kLinkRows)
                known += (known.empty() ? "" : ", ") + std::string(row.name);
            error = name.empty() ? "empty device name in \"" + std::string(whole) + "\""
                                 : "unknown device \"" + std::string(name) + "\"";
            error += " (known: " + known + ")";
            return false;
        }
        if (std::find(parsed.begin(), parsed.end(), *link) == parsed.end())
            parsed.push_back(*link);
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    links = std::move(parsed);
    return true;
}

Product ProductOf(Link link) {
    return RowOf(link).product;
}

bool IsReceiver(Link link) {
    return RowOf(link).receiver;
}

LinkIdentity IdentityOf(Link link) {
    return RowOf(link).identity;
}

std::string_view AreaName(Area area) {
    return kAreaRows[static_cast<std::size_t>(area)].name;
}

std::optional<Area> ParseArea(std::string_view name) {
    for (Area a : kAllAreas) {
        if (AreaName(a) == name)
            return a;
    }
    return std::nullopt;
}

std::size_t AreaSize(Area area) {
    return kAreaRows[static_cast<std::size_t>(area)].size;
}

}  // namespace morva::sim

// Names of the simulated products, the links they are reached through and the memory areas
// of their firmware.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morva::sim {

enum class Product { Mouse, Keyboard, Pad, Headset };
inline constexpr std::array kAllProducts{Product::Mouse, Product::Keyboard, Product::Pad,
                                         Product::Headset};

// One way into a product: its own cable or its wireless receiver.
enum class Link { Mouse, MouseReceiver, Keyboard, KeyboardReceiver, Pad, Headset };
inline constexpr std::array kAllLinks{Link::Mouse,    Link::MouseReceiver,
                                      Link::Keyboard, Link::KeyboardReceiver,
                                      Link::Pad,      Link::Headset};

enum class Area {
    Info,
    Setting,
    KeyTable,
    DefaultKeyTable,
    FnKeyTable,
    LightIndex,
    Colours,
    Macro,
    Shoot,
    Status,
    LightFrame,
};
inline constexpr std::size_t kAreaCount = 11;

// One command report or answer.
inline constexpr std::size_t kReportSize = 64;
using Report = std::array<std::uint8_t, kReportSize>;

std::string_view ProductName(Product product);  // "mouse", "keyboard", "pad", "headset"
std::optional<Product> ParseProduct(std::string_view name);

// "mouse", "mouse-receiver", "keyboard", "keyboard-receiver", "pad", "headset".
std::string_view LinkName(Link link);
std::optional<Link> ParseLink(std::string_view name);
// A comma-separated list such as "mouse,keyboard" (blanks around names allowed, repeats
// kept once, an empty text is an empty list). False with a message naming the offending
// entry and the known names.
bool ParseLinkList(std::string_view text, std::vector<Link>& links, std::string& error);

Product ProductOf(Link link);
bool IsReceiver(Link link);

// USB identity of the device behind a link.
struct LinkIdentity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t bcdDevice = 0;
};
LinkIdentity IdentityOf(Link link);

std::string_view AreaName(Area area);
std::optional<Area> ParseArea(std::string_view name);
std::size_t AreaSize(Area area);
inline constexpr std::array<Area, kAreaCount> kAllAreas{
    Area::Info,       Area::Setting,    Area::KeyTable,  Area::DefaultKeyTable,
    Area::FnKeyTable, Area::LightIndex, Area::Colours,   Area::Macro,
    Area::Shoot,      Area::Status,     Area::LightFrame};

}  // namespace morva::sim

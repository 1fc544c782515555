#include "app/WindowElement.hpp"

#include <charconv>

namespace {

constexpr std::array<Element, kElementCount> kElements{
    Element::imageView_logo_download,
    Element::btn_connect,
    Element::btn_download,
    Element::circle_progressbar_connect,
    Element::circle_progressbar_download,
    Element::progressbar_download,
    Element::txt_Infomation_upper,
    Element::txt_Infomation,
    Element::ImageView_Device,
    Element::txt_device_name,
    Element::txt_device_gps_version,
    Element::txt_device_rd_version,
    Element::ImageView_QVT_DB,
    Element::txt_QVT_DB,
    Element::checkbox_gui_audio,
    Element::txt_checkbox,
};

struct ElementInfo {
    std::string_view name;
    ElementKind kind;
};

// Indexed by the enum's value, in the same order as kElements.
constexpr std::array<ElementInfo, kElementCount> kInfo{{
    {"imageView_logo_download", ElementKind::Picture},
    {"btn_connect", ElementKind::PushButton},
    {"btn_download", ElementKind::PushButton},
    {"circle_progressbar_connect", ElementKind::Spinner},
    {"circle_progressbar_download", ElementKind::Spinner},
    {"progressbar_download", ElementKind::ProgressBar},
    {"txt_Infomation_upper", ElementKind::TextLine},
    {"txt_Infomation", ElementKind::TextLine},
    {"ImageView_Device", ElementKind::Picture},
    {"txt_device_name", ElementKind::TextLine},
    {"txt_device_gps_version", ElementKind::TextLine},
    {"txt_device_rd_version", ElementKind::TextLine},
    {"ImageView_QVT_DB", ElementKind::Picture},
    {"txt_QVT_DB", ElementKind::TextLine},
    {"checkbox_gui_audio", ElementKind::CheckBox},
    {"txt_checkbox", ElementKind::TextLine},
}};

const ElementInfo& info(Element element) { return kInfo.at(static_cast<std::size_t>(element)); }

std::string_view yesNo(bool value) { return value ? "YES" : "NO"; }

std::string numberText(double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return {buffer.data(), result.ptr};
}

} // namespace

ElementKind kindOf(Element element) { return info(element).kind; }

std::string_view elementName(Element element) { return info(element).name; }

std::string_view colourName(Colour colour) {
    switch (colour) {
    case Colour::White:
        return "white";
    case Colour::Black:
        return "black";
    case Colour::Red:
        return "red";
    case Colour::Green:
        return "green";
    case Colour::Yellow:
        return "yellow";
    }
    return "?";
}

std::string_view propertyName(Property property) {
    switch (property) {
    case Property::Hidden:
        return "hidden";
    case Property::Enabled:
        return "enabled";
    case Property::Ticked:
        return "ticked";
    case Property::Animating:
        return "animating";
    case Property::Text:
        return "text";
    case Property::TextColour:
        return "colour";
    case Property::Value:
        return "value";
    }
    return "?";
}

const std::array<Element, kElementCount>& allElements() { return kElements; }

std::string describe(const ElementChange& change) {
    std::string text(elementName(change.element));
    text += '.';
    text += propertyName(change.property);
    text += '=';
    const ElementState& s = change.state;
    switch (change.property) {
    case Property::Hidden:
        text += yesNo(s.hidden);
        break;
    case Property::Enabled:
        text += yesNo(s.enabled);
        break;
    case Property::Ticked:
        text += yesNo(s.ticked);
        break;
    case Property::Animating:
        text += yesNo(s.animating);
        break;
    case Property::Text:
        text += s.text;
        break;
    case Property::TextColour:
        text += colourName(s.textColour);
        break;
    case Property::Value:
        text += numberText(s.value);
        break;
    }
    return text;
}

void PrintTo(Element element, std::ostream* os) { *os << elementName(element); }

void PrintTo(Colour colour, std::ostream* os) { *os << colourName(colour); }

void PrintTo(const ElementChange& change, std::ostream* os) { *os << describe(change); }

#pragma once
// The sixteen elements of the main window, their states and the change notices about them.

#include <array>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

// In layout order. The names are those of the window layout.
enum class Element {
    imageView_logo_download,
    btn_connect,
    btn_download,
    circle_progressbar_connect,
    circle_progressbar_download,
    progressbar_download,
    txt_Infomation_upper,
    txt_Infomation,
    ImageView_Device,
    txt_device_name,
    txt_device_gps_version,
    txt_device_rd_version,
    ImageView_QVT_DB,
    txt_QVT_DB,
    checkbox_gui_audio,
    txt_checkbox,
};
inline constexpr std::size_t kElementCount = 16;

enum class ElementKind { Picture, PushButton, Spinner, ProgressBar, TextLine, CheckBox };

enum class Colour { White, Black, Red, Green, Yellow };

// One aspect of an element; a change notice names the aspect that changed.
enum class Property { Hidden, Enabled, Ticked, Animating, Text, TextColour, Value };

// Every element carries every aspect; only those of its kind mean anything (a spinner's
// text stays empty, a picture is never ticked).
struct ElementState {
    bool hidden = false;
    bool enabled = true;
    bool ticked = false;
    bool animating = false;
    std::string text;
    Colour textColour = Colour::Black;
    double value = 0.0;
    bool operator==(const ElementState&) const = default;
};

// One change of one aspect of one element, with the element's whole state after it.
struct ElementChange {
    Element element;
    Property property;
    ElementState state;
    bool operator==(const ElementChange&) const = default;
};

ElementKind kindOf(Element element);
std::string_view elementName(Element element);
std::string_view colourName(Colour colour);
std::string_view propertyName(Property property);
const std::array<Element, kElementCount>& allElements();

// "txt_Infomation.text=47 %": the element, the aspect that changed and its new value.
std::string describe(const ElementChange& change);

void PrintTo(Element element, std::ostream* os);
void PrintTo(Colour colour, std::ostream* os);
void PrintTo(const ElementChange& change, std::ostream* os);

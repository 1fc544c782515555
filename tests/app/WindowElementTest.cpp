#include "app/WindowElement.hpp"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(WindowElementTest, SixteenDistinctElementsInLayoutOrder) {
    const auto& elements = allElements();
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        EXPECT_EQ(static_cast<std::size_t>(elements[i]), i);
        names.insert(elementName(elements[i]));
    }
    EXPECT_EQ(names.size(), 16U);
    EXPECT_EQ(elementName(Element::imageView_logo_download), "imageView_logo_download");
    EXPECT_EQ(elementName(Element::txt_checkbox), "txt_checkbox");
    EXPECT_EQ(elementName(Element::txt_QVT_DB), "txt_QVT_DB");
}

TEST(WindowElementTest, KindsOfElements) {
    EXPECT_EQ(kindOf(Element::btn_connect), ElementKind::PushButton);
    EXPECT_EQ(kindOf(Element::circle_progressbar_download), ElementKind::Spinner);
    EXPECT_EQ(kindOf(Element::progressbar_download), ElementKind::ProgressBar);
    EXPECT_EQ(kindOf(Element::checkbox_gui_audio), ElementKind::CheckBox);
    EXPECT_EQ(kindOf(Element::ImageView_QVT_DB), ElementKind::Picture);
    EXPECT_EQ(kindOf(Element::txt_device_rd_version), ElementKind::TextLine);
}

TEST(WindowElementTest, DescribeNamesTheChangedAspect) {
    ElementState state;
    state.value = 47.5;
    state.textColour = Colour::Yellow;
    state.text = "47 %";
    EXPECT_EQ(describe({Element::progressbar_download, Property::Value, state}),
              "progressbar_download.value=47.5");
    EXPECT_EQ(describe({Element::txt_Infomation, Property::Text, state}),
              "txt_Infomation.text=47 %");
    EXPECT_EQ(describe({Element::txt_device_name, Property::TextColour, state}),
              "txt_device_name.colour=yellow");
    EXPECT_EQ(describe({Element::btn_download, Property::Enabled, state}),
              "btn_download.enabled=YES");
}

} // namespace

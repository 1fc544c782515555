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
    // A duplicated or missing name would make two elements one in every notice and test.
    EXPECT_EQ(names.size(), 16U);
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

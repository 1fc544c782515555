#include "app/TableLocalizer.hpp"

#include <gtest/gtest.h>

namespace {

TEST(TableLocalizerTest, KnownKeysGiveTheirTextsMissingKeysTheEmptyText) {
    const TableLocalizer localizer({{"str_ready_upper", "READY"}, {"str_empty", ""}});
    const Localizer& l = localizer;
    EXPECT_EQ(l.L("str_ready_upper"), "READY");
    EXPECT_EQ(l.L("str_empty"), "");
    EXPECT_EQ(l.L("str_ready_under"), "");
    EXPECT_EQ(l.L("STR_READY_UPPER"), "");
    EXPECT_EQ(l.L(""), "");
}

TEST(TableLocalizerTest, EmptyTableKnowsNothing) {
    const TableLocalizer localizer;
    EXPECT_EQ(localizer.L("str_download_fail"), "");
}

} // namespace

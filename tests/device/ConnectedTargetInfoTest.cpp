#include "device/ConnectedTargetInfo.hpp"

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

TEST(ConnectedTargetInfo, FreshRecordHasTheCreationDefaults) {
    const ConnectedTargetInfo r;
    EXPECT_EQ(r.ErrorMessage(), "Not Error");
    EXPECT_EQ(r.Info_T_key_number(), 9U);
    ASSERT_TRUE(r.Info_T_Key());
    ASSERT_EQ(r.Info_T_Key()->size(), 9U);
    for (const auto& entry : *r.Info_T_Key()) {
        ASSERT_TRUE(std::holds_alternative<std::string>(entry));
        EXPECT_EQ(std::get<std::string>(entry), "n");
    }
    EXPECT_EQ(r.UpdateType(), 0U);
    EXPECT_EQ(r.isIncludeStar(), 0);
    EXPECT_EQ(r.ConnectedDevice_EditionEnable(), 0);
    EXPECT_EQ(r.Info_VerifyBlock_GPS_Address(), 0U);
    EXPECT_EQ(r.Country_Total_Num(), 0U);
    EXPECT_EQ(r.ConnectedDevice_Name(), "");
    EXPECT_EQ(r.SsId(), "");
}

TEST(ConnectedTargetInfo, AbsentIsKeptApartFromEmpty) {
    const ConnectedTargetInfo r;
    // The date is the empty text, its version-block form is absent.
    EXPECT_EQ(r.Info_strDate(), "");
    EXPECT_FALSE(r.Info_strDate_Dongle().has_value());
    EXPECT_FALSE(r.VerifyBlock_GPS_UpdateData().has_value());
    EXPECT_FALSE(r.VerifyBlock_RD_UpdateData().has_value());
    EXPECT_EQ(r.Download_Firmware_GPS(), nullptr);
    EXPECT_EQ(r.Download_Firmware_DATABASE(), nullptr);
    EXPECT_EQ(r.Country_Name(), nullptr);
    EXPECT_EQ(r.Country_Checked(), nullptr);

    ConnectedTargetInfo w;
    w.setVerifyBlock_RD_UpdateData(std::string{});
    ASSERT_TRUE(w.VerifyBlock_RD_UpdateData().has_value());
    EXPECT_EQ(*w.VerifyBlock_RD_UpdateData(), "");
    w.setDownload_Firmware_RD(std::make_shared<const Bytes>());
    ASSERT_NE(w.Download_Firmware_RD(), nullptr);
    EXPECT_TRUE(w.Download_Firmware_RD()->empty());
}

TEST(ConnectedTargetInfo, SetterKeepsTheObjectAndReleasesThePreviousOne) {
    ConnectedTargetInfo r;
    auto first = std::make_shared<const Bytes>(Bytes{1, 2, 3});
    const std::weak_ptr<const Bytes> watch = first;
    r.setDownload_Firmware_GPS(first);
    EXPECT_EQ(r.Download_Firmware_GPS().get(), first.get()) << "the setter must not copy";
    first.reset();
    EXPECT_FALSE(watch.expired()) << "the record holds a strong reference";
    r.setDownload_Firmware_GPS(std::make_shared<const Bytes>(Bytes{4}));
    EXPECT_TRUE(watch.expired()) << "the previous object must be released";
}

// A reader running beside a writer always sees one whole value, never a mix of two.
TEST(ConnectedTargetInfo, ObjectFieldsAreReadWhole) {
    ConnectedTargetInfo r;
    const std::string a(4096, 'a');
    const std::string b(4096, 'b');
    r.setErrorMessage(a);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            r.setErrorMessage(i % 2 == 0 ? b : a);
        }
        stop = true;
    });
    int torn = 0;
    while (!stop) {
        const std::string seen = r.ErrorMessage();
        if (seen != a && seen != b) {
            ++torn;
        }
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

} // namespace

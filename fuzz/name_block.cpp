// The name block through identification: INQUIRY, layout search, key, name, edition, keyword.

#include "FuzzSupport.hpp"
#include "device/ConnectedTargetInit.hpp"
#include "sim/VirtualDetector.hpp"
#include "usb/MassStorageController.hpp"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputCursor in(data, size);
    const std::uint8_t flags = in.byte();
    const std::string_view text = in.rest();
    std::vector<std::uint8_t> block(text.begin(), text.end());
    block.resize(ConnectedTargetInit::kNameBlockSize, 0);

    sim::DeviceProfile profile;
    const bool star = (flags & 1U) != 0;
    profile.product = star ? "*CORVANTHIS UMSCPT DEVIC" : "CORVANTHIS UMSCPT DEVICE";
    const std::uint8_t selector = star ? 1 : 0;
    const std::uint32_t row = (flags & 2U) != 0 ? 0x08003600U : 0x08002E00U;
    profile.memory.push_back({selector, row, block});
    auto detector = std::make_shared<sim::VirtualDetector>(profile);
    MassStorageController link(detector);
    link.MassStorageControllerInit();
    FUZZ_CHECK(link.Check_UsbConnection());

    ConnectedTargetInfo record;
    const bool ok = ConnectedTargetInit().ConnectedDeviceInit(record, link);
    const std::string blockText = ConnectedTargetInit::blockText(block);
    const bool marked =
        blockText.find("$$") != std::string::npos && blockText.find("ZLM") != std::string::npos;
    if (!marked) {
        FUZZ_CHECK(!ok);
        FUZZ_CHECK(record.ErrorMessage() == "Error_Code_103");
        return 0;
    }
    FUZZ_CHECK(record.isIncludeStar() == (star ? 1U : 0U));
    // The key is the block's first nine bytes, whatever else the block holds.
    const SharedList key = record.Info_T_Key();
    FUZZ_CHECK(key && key->size() >= 9);
    for (std::size_t i = 0; i < 9; ++i) {
        FUZZ_CHECK((*key)[i] == ListEntry{std::uint32_t{block[i]}});
    }
    if (!ok) {
        FUZZ_CHECK(record.ErrorMessage() == "Error_Code_103");
        return 0;
    }
    const std::string name = record.ConnectedDevice_Name();
    const std::string verify = record.ConnectedDevice_Name_forVerify();
    const std::string keyword = record.ConnectedDevice_KewordForWebAcess();
    FUZZ_CHECK(
        verify == "4x10" || verify == name ||
        std::all_of(verify.begin(), verify.end(), [](char c) { return c >= '0' && c <= '9'; }));
    FUZZ_CHECK(verify.empty() || verify == "4x10" || name.find(verify) != std::string::npos);
    if (record.ConnectedDevice_EditionEnable() == 1) {
        const std::string edition = record.ConnectedDevice_EditionType();
        FUZZ_CHECK(!keyword.empty() && keyword.size() >= edition.size() &&
                   keyword.compare(keyword.size() - edition.size(), edition.size(), edition) == 0);
    }
    FUZZ_CHECK(record.Info_VerifyBlock_GPS_Address() ==
               ((flags & 2U) != 0 ? 0x08003700U : 0x08002F00U));
    return 0;
}

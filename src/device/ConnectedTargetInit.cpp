#include "device/ConnectedTargetInit.hpp"

#include "usb/CommandWrapper.hpp"
#include "usb/MassStorageController.hpp"

#include <algorithm>
#include <vector>

namespace {

// Model names that are their own verify key and server keyword.
constexpr std::array<std::string_view, 3> kSelfKeyedNames = {"QVT-KA7", "GPS-LYN1", "KA7-LN"};
// One-word names of the shared 4x10 version blocks.
constexpr std::array<std::string_view, 2> kFourByTenNames = {"4810RV", "4610RV"};
constexpr std::string_view kFourByTenKey = "4x10";
// The one-word name whose keyword carries no "RV" prefix when it has an edition.
constexpr std::string_view kGpsRvName = "4030GPSRV";

constexpr std::size_t kNameFormPrefix = 13;
constexpr std::size_t kInquiryBufferSize = 1024;
constexpr std::size_t kStatusBufferSize = 4096;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Pieces between blanks; empty pieces kept only when asked.
std::vector<std::string_view> splitAtBlanks(std::string_view text, bool keepEmpty) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || isBlank(text[i])) {
            const std::string_view piece = text.substr(start, i - start);
            if (keepEmpty || !piece.empty()) {
                pieces.push_back(piece);
            }
            start = i + 1;
        }
    }
    return pieces;
}

// The second ":"-separated field of a word, if the word has one.
std::optional<std::string_view> secondField(std::string_view word) {
    const auto colon = word.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = word.substr(colon + 1);
    return rest.substr(0, rest.find(':'));
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string detail(const std::string& verifyKey, std::string_view tag, const std::string& version) {
    if (version == ConnectedTargetInit::kUnknown) {
        return std::string(ConnectedTargetInit::kUnknown);
    }
    return verifyKey + std::string(tag) + version;
}

} // namespace

bool ConnectedTargetInit::ConnectedDeviceInit(ConnectedTargetInfo& record,
                                              MassStorageController& link) {
    if (!setUsbPipe(link)) {
        record.setErrorMessage("Error_Code_101");
        return false;
    }
    if (!getDeviceInquiryCode(record, link)) {
        record.setErrorMessage("Error_Code_102");
        return false;
    }
    if (!getDeviceNameAndCheckEdition(record, link)) {
        record.setErrorMessage("Error_Code_103");
        return false;
    }
    return true;
}

bool ConnectedTargetInit::setUsbPipe(MassStorageController& link) {
    std::array<std::uint8_t, kStatusBufferSize> buffer{};
    // No data follows the 1024 bytes the command announces.
    usb::CommandTransaction ready;
    ready.commandBlock = usb::commandBlockOf(usb::kTestUnitReadyTemplate);
    ready.direction = usb::DataDirection::None;
    ready.announcedLength = usb::announcedLength(usb::kTestUnitReadyTemplate);
    ready.timeout = link.timeouts().command;
    // A failure fails the step; recovery leaves the device ready for a later command.
    const auto result = link.transact(ready, std::span(buffer).first(kStatusBufferSize - 1));
    return result && result->ok();
}

bool ConnectedTargetInit::getDeviceInquiryCode(ConnectedTargetInfo& record,
                                               MassStorageController& link) {
    std::array<std::uint8_t, kStatusBufferSize> reBuffer{};
    std::array<std::uint8_t, kInquiryBufferSize> answer{};
    usb::CommandTransaction inquiry;
    inquiry.commandBlock = usb::commandBlockOf(usb::kInquiryTemplate);
    inquiry.direction = usb::DataDirection::In;
    inquiry.in = std::span(answer).first(kInquiryBufferSize - 1);
    inquiry.announcedLength = usb::announcedLength(usb::kInquiryTemplate);
    inquiry.timeout = link.timeouts().data;
    const auto result = link.transact(inquiry, std::span(reBuffer).first(kStatusBufferSize - 1));
    if (!result || !result->ok()) {
        return false;
    }
    const auto star = findProductText(answer);
    if (!star) {
        return false;
    }
    record.setIsIncludeStar(*star ? 1 : 0);
    return true;
}

bool ConnectedTargetInit::getDeviceNameAndCheckEdition(ConnectedTargetInfo& record,
                                                       MassStorageController& link) {
    // Cleared once: a failed read leaves the buffer as it was, and the text test decides.
    std::array<std::uint8_t, kNameBlockSize> block{};
    const std::uint8_t selector = record.isIncludeStar() != 0 ? 1 : 0;
    for (const auto& layout : arrayVerifyaddress) {
        link.ReadFromDevice(selector, layout.nameBlock, block, kNameBlockSize, link);
        const std::string text = blockText(block);
        if (contains(text, "$$") && contains(text, "ZLM")) {
            record.setInfo_VerifyBlock_GPS_Address(layout.gpsVersionBlock);
            record.setInfo_VerifyBlock_RD_Address(layout.rdVersionBlock);
            return parseNameBlock(record, block);
        }
    }
    return false;
}

std::optional<bool> ConnectedTargetInit::findProductText(std::span<const std::uint8_t> answer) {
    const std::string_view wanted = kProductText.substr(0, kProductText.size() - 1);
    const auto it =
        std::search(answer.begin(), answer.end(), wanted.begin(), wanted.end(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
    if (it == answer.end()) {
        return std::nullopt;
    }
    return it != answer.begin() && *(it - 1) == '*';
}

std::string ConnectedTargetInit::blockText(std::span<const std::uint8_t> block) {
    const auto end = std::find(block.begin(), block.end(), std::uint8_t{0});
    return {block.begin(), end};
}

std::string ConnectedTargetInit::digitRun(std::string_view name) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto first = std::find_if(name.begin(), name.end(), isDigit);
    const auto last = std::find_if_not(first, name.end(), isDigit);
    return {first, last};
}

bool ConnectedTargetInit::parseNameBlock(ConnectedTargetInfo& record,
                                         std::span<const std::uint8_t> block) {
    const std::uint32_t keyLength = record.Info_T_key_number();
    if (block.size() < keyLength) {
        return false;
    }
    // Entries past the block's key bytes keep what they held; there are always nine.
    List key = record.Info_T_Key() ? *record.Info_T_Key() : List{};
    key.resize(std::max<std::size_t>(key.size(), keyLength),
               std::string(ConnectedTargetInfo::kKeyPlaceholder));
    for (std::uint32_t i = 0; i < keyLength; ++i) {
        key[i] = std::uint32_t{block[i]};
    }
    record.setInfo_T_Key(std::make_shared<const List>(std::move(key)));

    std::string text = blockText(block);
    std::replace(text.begin(), text.end(), ',', ':');
    const std::vector<std::string_view> words = splitAtBlanks(text, false);

    if (text.size() < kNameFormPrefix) {
        return false;
    }
    const auto prefix = splitAtBlanks(std::string_view(text).substr(0, kNameFormPrefix), true);
    if (prefix.size() < 2) {
        return false; // no blank among the first 13 characters
    }
    const bool twoWords = !prefix[1].empty();
    if (words.empty()) {
        return false;
    }
    const auto firstWord = secondField(words[0]);
    if (!firstWord) {
        return false;
    }

    if (twoWords) {
        if (words.size() < 2) {
            return false;
        }
        const std::string first(*firstWord);
        const std::string second(words[1]);
        const std::string name = first + " " + second;
        record.setConnectedDevice_Name(name);
        record.setConnectedDevice_Name_forVerify(digitRun(name));
        if (words.size() < 7) {
            return false;
        }
        if (words[6].size() == 1) {
            record.setConnectedDevice_EditionEnable(1);
            record.setConnectedDevice_EditionType(std::string(words[6]));
            record.setConnectedDevice_KewordForWebAcess(first + "_" + second +
                                                        std::string(words[6]));
        } else {
            record.setConnectedDevice_EditionEnable(0);
            record.setConnectedDevice_KewordForWebAcess(first + "_" + second);
        }
        return true;
    }

    const std::string name(*firstWord);
    record.setConnectedDevice_Name(name);
    if (std::find(kSelfKeyedNames.begin(), kSelfKeyedNames.end(), name) != kSelfKeyedNames.end()) {
        record.setConnectedDevice_Name_forVerify(name);
        record.setConnectedDevice_EditionEnable(0);
        record.setConnectedDevice_KewordForWebAcess(name);
        return true;
    }
    record.setConnectedDevice_Name_forVerify(digitRun(name));
    if (std::any_of(kFourByTenNames.begin(), kFourByTenNames.end(),
                    [&](std::string_view n) { return contains(name, n); })) {
        record.setConnectedDevice_Name_forVerify(std::string(kFourByTenKey));
    }
    if (words.size() < 6) {
        return false;
    }
    if (words[5].size() == 1) {
        const std::string edition(words[5]);
        record.setConnectedDevice_EditionEnable(1);
        record.setConnectedDevice_EditionType(edition);
        record.setConnectedDevice_KewordForWebAcess(name == kGpsRvName ? name + edition
                                                                       : "RV" + name + edition);
    } else {
        record.setConnectedDevice_EditionEnable(0);
        record.setConnectedDevice_KewordForWebAcess("RV" + name);
    }
    return true;
}

std::string ConnectedTargetInit::cutVersion(std::span<const std::uint8_t> page) {
    const std::string unknown(kUnknown);
    const std::string text = blockText(page);
    if (text.size() < kVersionMarker.size()) {
        return unknown;
    }
    const auto marker =
        std::search(page.begin(), page.end(), kVersionMarker.begin(), kVersionMarker.end(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
    if (marker == page.end()) {
        return unknown;
    }
    // The third ":"-separated piece: the marker holds one ":", "$:" the next.
    std::size_t start = 0;
    for (int colons = 0; colons < 2; ++colons) {
        const auto colon = text.find(':', start);
        if (colon == std::string::npos) {
            return unknown;
        }
        start = colon + 1;
    }
    std::string field = text.substr(start, text.find(':', start) - start);
    std::transform(field.begin(), field.end(), field.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });

    const auto printable = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= '!' && u <= '}';
    };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto isCapital = [](char c) { return c >= 'A' && c <= 'Z'; };
    const auto positionOf = [&](std::size_t from, auto predicate, std::size_t fallback) {
        for (std::size_t i = from; i < field.size(); ++i) {
            if (predicate(field[i])) {
                return i;
            }
        }
        return fallback;
    };
    const std::size_t end = positionOf(
        0, [&](char c) { return !printable(c); }, field.size());
    const std::size_t d1 = positionOf(0, isDigit, 0);
    const std::size_t u = positionOf(d1, isCapital, 0);
    const std::size_t d2 = positionOf(u, isDigit, 0);
    if (d2 > end) {
        return unknown;
    }
    return field.substr(d2, end - d2);
}

std::string ConnectedTargetInit::getCurrentDeviceVersion(MassStorageController& link,
                                                         std::uint32_t pageSize,
                                                         std::uint32_t address,
                                                         std::uint8_t selector) {
    // A page size of 0 (the server gave none) or beyond one transfer is a failed read.
    if (pageSize == 0 || pageSize > usb::kMaxTransferLength) {
        return std::string(kUnknown);
    }
    std::vector<std::uint8_t> page(pageSize, 0);
    if (!link.ReadFromDevice(selector, address, page, pageSize, link)) {
        return std::string(kUnknown);
    }
    return cutVersion(page);
}

bool ConnectedTargetInit::getDeviceVersion(ConnectedTargetInfo& record,
                                           MassStorageController& link) {
    if (record.isIncludeStar() == 0) {
        record.setConnectedDevice_Version_GPS_Current(getCurrentDeviceVersion(
            link, record.Info_GPS_App_PageSize(), record.Info_VerifyBlock_GPS_Address(), 0));
    }
    record.setConnectedDevice_Version_RD_Current(getCurrentDeviceVersion(
        link, record.Info_RD_App_PageSize(), record.Info_VerifyBlock_RD_Address(), 1));
    const std::string verifyKey = record.ConnectedDevice_Name_forVerify();
    record.setConnectedDevice_Version_GPS_Current_detail(
        detail(verifyKey, "Gx", record.ConnectedDevice_Version_GPS_Current()));
    record.setConnectedDevice_Version_RD_Current_detail(
        detail(verifyKey, "RD", record.ConnectedDevice_Version_RD_Current()));
    return true;
}

bool ConnectedTargetInit::getConnectedDeviceCurrentVersion(ConnectedTargetInfo& record,
                                                           MassStorageController& link) {
    return getDeviceVersion(record, link);
}

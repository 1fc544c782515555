#pragma once
// The one record of everything known about the connected detector and the pending update.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
// Shared, immutable byte string; null means absent.
using SharedBytes = std::shared_ptr<const Bytes>;
using TextList = std::vector<std::string>;
// Shared list of texts; null means absent.
using SharedTextList = std::shared_ptr<const TextList>;
// An entry of a mixed list: a text ("n", "YES", "NO"), a number (a key byte) or a check mark.
using ListEntry = std::variant<std::string, std::uint32_t, bool>;
using List = std::vector<ListEntry>;
// Shared mixed list; null means absent.
using SharedList = std::shared_ptr<const List>;

// Each field has one getter named as the field and one setter named set<Field>. Every access
// is atomic on its own: a reader sees a whole old or a whole new value. Object-valued setters
// keep the object given (no copy) and release the previous one. Nothing keeps a group of
// fields consistent; the update sequences never run at the same time.
class ConnectedTargetInfo {
public:
    ConnectedTargetInfo();
    ConnectedTargetInfo(const ConnectedTargetInfo&) = delete;
    ConnectedTargetInfo& operator=(const ConnectedTargetInfo&) = delete;
    ConnectedTargetInfo(ConnectedTargetInfo&&) = delete;
    ConnectedTargetInfo& operator=(ConnectedTargetInfo&&) = delete;
    ~ConnectedTargetInfo() = default;

    // The placeholder of a key entry that identification has not yet filled.
    static constexpr const char* kKeyPlaceholder = "n";
    static constexpr std::uint32_t kKeyLength = 9;

    [[nodiscard]] std::string ConnectedDevice_Name() const;
    void setConnectedDevice_Name(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_Name_forVerify() const;
    void setConnectedDevice_Name_forVerify(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_KewordForWebAcess() const;
    void setConnectedDevice_KewordForWebAcess(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_Version_GPS_Current() const;
    void setConnectedDevice_Version_GPS_Current(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_Version_GPS_Update() const;
    void setConnectedDevice_Version_GPS_Update(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_Version_RD_Current() const;
    void setConnectedDevice_Version_RD_Current(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_Version_RD_Update() const;
    void setConnectedDevice_Version_RD_Update(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_EditionType() const;
    void setConnectedDevice_EditionType(const std::string& value);
    [[nodiscard]] std::uint8_t ConnectedDevice_EditionEnable() const;
    void setConnectedDevice_EditionEnable(std::uint8_t value);
    [[nodiscard]] std::string ConnectedDevice_Version_GPS_Current_detail() const;
    void setConnectedDevice_Version_GPS_Current_detail(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_Version_GPS_Update_detail() const;
    void setConnectedDevice_Version_GPS_Update_detail(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_Version_RD_Current_detail() const;
    void setConnectedDevice_Version_RD_Current_detail(const std::string& value);
    [[nodiscard]] std::string ConnectedDevice_Version_RD_Update_detail() const;
    void setConnectedDevice_Version_RD_Update_detail(const std::string& value);
    [[nodiscard]] std::uint8_t ConnectedDevice_Enable_GPS_Firmware() const;
    void setConnectedDevice_Enable_GPS_Firmware(std::uint8_t value);
    [[nodiscard]] std::uint8_t ConnectedDevice_Enable_RD_Firmware() const;
    void setConnectedDevice_Enable_RD_Firmware(std::uint8_t value);
    [[nodiscard]] std::uint8_t ConnectedDevice_Enable_AUDIO_Firmware() const;
    void setConnectedDevice_Enable_AUDIO_Firmware(std::uint8_t value);
    [[nodiscard]] std::uint8_t ConnectedDevice_Enable_IMAGE_Firmware() const;
    void setConnectedDevice_Enable_IMAGE_Firmware(std::uint8_t value);
    [[nodiscard]] std::uint8_t ConnectedDevice_Enable_DATABASE_Firmware() const;
    void setConnectedDevice_Enable_DATABASE_Firmware(std::uint8_t value);
    [[nodiscard]] std::string Download_Firmware_GPS_wAdd() const;
    void setDownload_Firmware_GPS_wAdd(const std::string& value);
    [[nodiscard]] std::string Download_Firmware_RD_wAdd() const;
    void setDownload_Firmware_RD_wAdd(const std::string& value);
    [[nodiscard]] std::string Download_Firmware_AUDIO_wAdd() const;
    void setDownload_Firmware_AUDIO_wAdd(const std::string& value);
    [[nodiscard]] std::string Download_Firmware_IMAGE_wAdd() const;
    void setDownload_Firmware_IMAGE_wAdd(const std::string& value);
    [[nodiscard]] std::string Download_Firmware_DATABASE_wAdd() const;
    void setDownload_Firmware_DATABASE_wAdd(const std::string& value);
    [[nodiscard]] SharedBytes Download_Firmware_GPS() const;
    void setDownload_Firmware_GPS(SharedBytes value);
    [[nodiscard]] SharedBytes Download_Firmware_RD() const;
    void setDownload_Firmware_RD(SharedBytes value);
    [[nodiscard]] SharedBytes Download_Firmware_AUDIO() const;
    void setDownload_Firmware_AUDIO(SharedBytes value);
    [[nodiscard]] SharedBytes Download_Firmware_IMAGE() const;
    void setDownload_Firmware_IMAGE(SharedBytes value);
    [[nodiscard]] SharedBytes Download_Firmware_DATABASE() const;
    void setDownload_Firmware_DATABASE(SharedBytes value);
    [[nodiscard]] SharedBytes Download_Firmware_DATABASE_NoStrelka() const;
    void setDownload_Firmware_DATABASE_NoStrelka(SharedBytes value);
    [[nodiscard]] std::uint32_t Info_DataBase_Count() const;
    void setInfo_DataBase_Count(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_DataBase_Count_NoStrelka() const;
    void setInfo_DataBase_Count_NoStrelka(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_GPS_App_StartAddress() const;
    void setInfo_GPS_App_StartAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_GPS_App_EndAddress() const;
    void setInfo_GPS_App_EndAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_GPS_App_PageSize() const;
    void setInfo_GPS_App_PageSize(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_GPS_Binary_Cut_StartAddress() const;
    void setInfo_GPS_Binary_Cut_StartAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_GPS_Binary_Cut_EndAddress() const;
    void setInfo_GPS_Binary_Cut_EndAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_RD_App_StartAddress() const;
    void setInfo_RD_App_StartAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_RD_App_EndAddress() const;
    void setInfo_RD_App_EndAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_RD_App_PageSize() const;
    void setInfo_RD_App_PageSize(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_RD_Binary_Cut_StartAddress() const;
    void setInfo_RD_Binary_Cut_StartAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_RD_Binary_Cut_EndAddress() const;
    void setInfo_RD_Binary_Cut_EndAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_Audio_SaveAddress() const;
    void setInfo_Audio_SaveAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_Audio_PageSize() const;
    void setInfo_Audio_PageSize(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_Audio_SaveLocation() const;
    void setInfo_Audio_SaveLocation(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_Image_SaveAddress() const;
    void setInfo_Image_SaveAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_Image_PageSize() const;
    void setInfo_Image_PageSize(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_Image_SaveLocation() const;
    void setInfo_Image_SaveLocation(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_DataBase_SaveAddress() const;
    void setInfo_DataBase_SaveAddress(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_DataBase_PageSize() const;
    void setInfo_DataBase_PageSize(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_DataBase_SaveLocation() const;
    void setInfo_DataBase_SaveLocation(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_DataBase_SaveCountAddress() const;
    void setInfo_DataBase_SaveCountAddress(std::uint32_t value);
    [[nodiscard]] std::string Info_strDate() const;
    void setInfo_strDate(const std::string& value);
    [[nodiscard]] std::optional<std::string> Info_strDate_Dongle() const;
    void setInfo_strDate_Dongle(std::optional<std::string> value);
    [[nodiscard]] std::uint32_t Info_VerifyBlock_GPS_Address() const;
    void setInfo_VerifyBlock_GPS_Address(std::uint32_t value);
    [[nodiscard]] std::uint32_t Info_VerifyBlock_RD_Address() const;
    void setInfo_VerifyBlock_RD_Address(std::uint32_t value);
    [[nodiscard]] std::optional<std::string> VerifyBlock_GPS_UpdateData() const;
    void setVerifyBlock_GPS_UpdateData(std::optional<std::string> value);
    [[nodiscard]] std::optional<std::string> VerifyBlock_RD_UpdateData() const;
    void setVerifyBlock_RD_UpdateData(std::optional<std::string> value);
    [[nodiscard]] std::uint32_t Info_T_key_number() const;
    void setInfo_T_key_number(std::uint32_t value);
    [[nodiscard]] SharedList Info_T_Key() const;
    void setInfo_T_Key(SharedList value);
    [[nodiscard]] std::uint32_t UpdateType() const;
    void setUpdateType(std::uint32_t value);
    [[nodiscard]] std::string ErrorMessage() const;
    void setErrorMessage(const std::string& value);
    [[nodiscard]] std::string SsId() const;
    void setSsId(const std::string& value);
    [[nodiscard]] SharedTextList Country_Name() const;
    void setCountry_Name(SharedTextList value);
    [[nodiscard]] SharedTextList Country_SpeedCam_Num() const;
    void setCountry_SpeedCam_Num(SharedTextList value);
    [[nodiscard]] SharedTextList Country_Strelka_Num() const;
    void setCountry_Strelka_Num(SharedTextList value);
    [[nodiscard]] std::uint32_t Country_Total_Num() const;
    void setCountry_Total_Num(std::uint32_t value);
    [[nodiscard]] SharedList Country_Checked() const;
    void setCountry_Checked(SharedList value);
    [[nodiscard]] std::uint8_t isExcludeStrelka() const;
    void setIsExcludeStrelka(std::uint8_t value);
    [[nodiscard]] std::uint8_t isExcludeFake() const;
    void setIsExcludeFake(std::uint8_t value);
    [[nodiscard]] std::uint8_t isIncludeStar() const;
    void setIsIncludeStar(std::uint8_t value);
    [[nodiscard]] SharedTextList Country_Fake_Num() const;
    void setCountry_Fake_Num(SharedTextList value);

private:
    template <typename T>
    T load(const T& field) const {
        const std::lock_guard lock(m_mutex);
        return field;
    }
    template <typename T>
    void store(T& field, T value) {
        {
            const std::lock_guard lock(m_mutex);
            field.swap(value);
        }
        // value now holds the previous object; it is released here, outside the lock.
    }

    mutable std::mutex m_mutex;
    std::string m_ConnectedDevice_Name;
    std::string m_ConnectedDevice_Name_forVerify;
    std::string m_ConnectedDevice_KewordForWebAcess;
    std::string m_ConnectedDevice_Version_GPS_Current;
    std::string m_ConnectedDevice_Version_GPS_Update;
    std::string m_ConnectedDevice_Version_RD_Current;
    std::string m_ConnectedDevice_Version_RD_Update;
    std::string m_ConnectedDevice_EditionType;
    std::atomic<std::uint8_t> m_ConnectedDevice_EditionEnable{0};
    std::string m_ConnectedDevice_Version_GPS_Current_detail;
    std::string m_ConnectedDevice_Version_GPS_Update_detail;
    std::string m_ConnectedDevice_Version_RD_Current_detail;
    std::string m_ConnectedDevice_Version_RD_Update_detail;
    std::atomic<std::uint8_t> m_ConnectedDevice_Enable_GPS_Firmware{0};
    std::atomic<std::uint8_t> m_ConnectedDevice_Enable_RD_Firmware{0};
    std::atomic<std::uint8_t> m_ConnectedDevice_Enable_AUDIO_Firmware{0};
    std::atomic<std::uint8_t> m_ConnectedDevice_Enable_IMAGE_Firmware{0};
    std::atomic<std::uint8_t> m_ConnectedDevice_Enable_DATABASE_Firmware{0};
    std::string m_Download_Firmware_GPS_wAdd;
    std::string m_Download_Firmware_RD_wAdd;
    std::string m_Download_Firmware_AUDIO_wAdd;
    std::string m_Download_Firmware_IMAGE_wAdd;
    std::string m_Download_Firmware_DATABASE_wAdd;
    SharedBytes m_Download_Firmware_GPS;
    SharedBytes m_Download_Firmware_RD;
    SharedBytes m_Download_Firmware_AUDIO;
    SharedBytes m_Download_Firmware_IMAGE;
    SharedBytes m_Download_Firmware_DATABASE;
    SharedBytes m_Download_Firmware_DATABASE_NoStrelka;
    std::atomic<std::uint32_t> m_Info_DataBase_Count{0};
    std::atomic<std::uint32_t> m_Info_DataBase_Count_NoStrelka{0};
    std::atomic<std::uint32_t> m_Info_GPS_App_StartAddress{0};
    std::atomic<std::uint32_t> m_Info_GPS_App_EndAddress{0};
    std::atomic<std::uint32_t> m_Info_GPS_App_PageSize{0};
    std::atomic<std::uint32_t> m_Info_GPS_Binary_Cut_StartAddress{0};
    std::atomic<std::uint32_t> m_Info_GPS_Binary_Cut_EndAddress{0};
    std::atomic<std::uint32_t> m_Info_RD_App_StartAddress{0};
    std::atomic<std::uint32_t> m_Info_RD_App_EndAddress{0};
    std::atomic<std::uint32_t> m_Info_RD_App_PageSize{0};
    std::atomic<std::uint32_t> m_Info_RD_Binary_Cut_StartAddress{0};
    std::atomic<std::uint32_t> m_Info_RD_Binary_Cut_EndAddress{0};
    std::atomic<std::uint32_t> m_Info_Audio_SaveAddress{0};
    std::atomic<std::uint32_t> m_Info_Audio_PageSize{0};
    std::atomic<std::uint32_t> m_Info_Audio_SaveLocation{0};
    std::atomic<std::uint32_t> m_Info_Image_SaveAddress{0};
    std::atomic<std::uint32_t> m_Info_Image_PageSize{0};
    std::atomic<std::uint32_t> m_Info_Image_SaveLocation{0};
    std::atomic<std::uint32_t> m_Info_DataBase_SaveAddress{0};
    std::atomic<std::uint32_t> m_Info_DataBase_PageSize{0};
    std::atomic<std::uint32_t> m_Info_DataBase_SaveLocation{0};
    std::atomic<std::uint32_t> m_Info_DataBase_SaveCountAddress{0};
    std::string m_Info_strDate;
    std::optional<std::string> m_Info_strDate_Dongle;
    std::atomic<std::uint32_t> m_Info_VerifyBlock_GPS_Address{0};
    std::atomic<std::uint32_t> m_Info_VerifyBlock_RD_Address{0};
    std::optional<std::string> m_VerifyBlock_GPS_UpdateData;
    std::optional<std::string> m_VerifyBlock_RD_UpdateData;
    std::atomic<std::uint32_t> m_Info_T_key_number{kKeyLength};
    SharedList m_Info_T_Key;
    std::atomic<std::uint32_t> m_UpdateType{0};
    std::string m_ErrorMessage{"Not Error"};
    std::string m_SsId;
    SharedTextList m_Country_Name;
    SharedTextList m_Country_SpeedCam_Num;
    SharedTextList m_Country_Strelka_Num;
    std::atomic<std::uint32_t> m_Country_Total_Num{0};
    SharedList m_Country_Checked;
    std::atomic<std::uint8_t> m_isExcludeStrelka{0};
    std::atomic<std::uint8_t> m_isExcludeFake{0};
    std::atomic<std::uint8_t> m_isIncludeStar{0};
    SharedTextList m_Country_Fake_Num;
};

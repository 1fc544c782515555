#include "device/ConnectedTargetInfo.hpp"

#include <utility>

ConnectedTargetInfo::ConnectedTargetInfo()
    : m_Info_T_Key(
          std::make_shared<const List>(kKeyLength, ListEntry{std::string(kKeyPlaceholder)})) {}

std::string ConnectedTargetInfo::ConnectedDevice_Name() const {
    return load(m_ConnectedDevice_Name);
}
void ConnectedTargetInfo::setConnectedDevice_Name(const std::string& value) {
    store(m_ConnectedDevice_Name, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_Name_forVerify() const {
    return load(m_ConnectedDevice_Name_forVerify);
}
void ConnectedTargetInfo::setConnectedDevice_Name_forVerify(const std::string& value) {
    store(m_ConnectedDevice_Name_forVerify, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_KewordForWebAcess() const {
    return load(m_ConnectedDevice_KewordForWebAcess);
}
void ConnectedTargetInfo::setConnectedDevice_KewordForWebAcess(const std::string& value) {
    store(m_ConnectedDevice_KewordForWebAcess, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_Version_GPS_Current() const {
    return load(m_ConnectedDevice_Version_GPS_Current);
}
void ConnectedTargetInfo::setConnectedDevice_Version_GPS_Current(const std::string& value) {
    store(m_ConnectedDevice_Version_GPS_Current, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_Version_GPS_Update() const {
    return load(m_ConnectedDevice_Version_GPS_Update);
}
void ConnectedTargetInfo::setConnectedDevice_Version_GPS_Update(const std::string& value) {
    store(m_ConnectedDevice_Version_GPS_Update, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_Version_RD_Current() const {
    return load(m_ConnectedDevice_Version_RD_Current);
}
void ConnectedTargetInfo::setConnectedDevice_Version_RD_Current(const std::string& value) {
    store(m_ConnectedDevice_Version_RD_Current, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_Version_RD_Update() const {
    return load(m_ConnectedDevice_Version_RD_Update);
}
void ConnectedTargetInfo::setConnectedDevice_Version_RD_Update(const std::string& value) {
    store(m_ConnectedDevice_Version_RD_Update, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_EditionType() const {
    return load(m_ConnectedDevice_EditionType);
}
void ConnectedTargetInfo::setConnectedDevice_EditionType(const std::string& value) {
    store(m_ConnectedDevice_EditionType, std::string(value));
}

std::uint8_t ConnectedTargetInfo::ConnectedDevice_EditionEnable() const {
    return m_ConnectedDevice_EditionEnable.load();
}
void ConnectedTargetInfo::setConnectedDevice_EditionEnable(std::uint8_t value) {
    m_ConnectedDevice_EditionEnable.store(value);
}

std::string ConnectedTargetInfo::ConnectedDevice_Version_GPS_Current_detail() const {
    return load(m_ConnectedDevice_Version_GPS_Current_detail);
}
void ConnectedTargetInfo::setConnectedDevice_Version_GPS_Current_detail(const std::string& value) {
    store(m_ConnectedDevice_Version_GPS_Current_detail, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_Version_GPS_Update_detail() const {
    return load(m_ConnectedDevice_Version_GPS_Update_detail);
}
void ConnectedTargetInfo::setConnectedDevice_Version_GPS_Update_detail(const std::string& value) {
    store(m_ConnectedDevice_Version_GPS_Update_detail, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_Version_RD_Current_detail() const {
    return load(m_ConnectedDevice_Version_RD_Current_detail);
}
void ConnectedTargetInfo::setConnectedDevice_Version_RD_Current_detail(const std::string& value) {
    store(m_ConnectedDevice_Version_RD_Current_detail, std::string(value));
}

std::string ConnectedTargetInfo::ConnectedDevice_Version_RD_Update_detail() const {
    return load(m_ConnectedDevice_Version_RD_Update_detail);
}
void ConnectedTargetInfo::setConnectedDevice_Version_RD_Update_detail(const std::string& value) {
    store(m_ConnectedDevice_Version_RD_Update_detail, std::string(value));
}

std::uint8_t ConnectedTargetInfo::ConnectedDevice_Enable_GPS_Firmware() const {
    return m_ConnectedDevice_Enable_GPS_Firmware.load();
}
void ConnectedTargetInfo::setConnectedDevice_Enable_GPS_Firmware(std::uint8_t value) {
    m_ConnectedDevice_Enable_GPS_Firmware.store(value);
}

std::uint8_t ConnectedTargetInfo::ConnectedDevice_Enable_RD_Firmware() const {
    return m_ConnectedDevice_Enable_RD_Firmware.load();
}
void ConnectedTargetInfo::setConnectedDevice_Enable_RD_Firmware(std::uint8_t value) {
    m_ConnectedDevice_Enable_RD_Firmware.store(value);
}

std::uint8_t ConnectedTargetInfo::ConnectedDevice_Enable_AUDIO_Firmware() const {
    return m_ConnectedDevice_Enable_AUDIO_Firmware.load();
}
void ConnectedTargetInfo::setConnectedDevice_Enable_AUDIO_Firmware(std::uint8_t value) {
    m_ConnectedDevice_Enable_AUDIO_Firmware.store(value);
}

std::uint8_t ConnectedTargetInfo::ConnectedDevice_Enable_IMAGE_Firmware() const {
    return m_ConnectedDevice_Enable_IMAGE_Firmware.load();
}
void ConnectedTargetInfo::setConnectedDevice_Enable_IMAGE_Firmware(std::uint8_t value) {
    m_ConnectedDevice_Enable_IMAGE_Firmware.store(value);
}

std::uint8_t ConnectedTargetInfo::ConnectedDevice_Enable_DATABASE_Firmware() const {
    return m_ConnectedDevice_Enable_DATABASE_Firmware.load();
}
void ConnectedTargetInfo::setConnectedDevice_Enable_DATABASE_Firmware(std::uint8_t value) {
    m_ConnectedDevice_Enable_DATABASE_Firmware.store(value);
}

std::string ConnectedTargetInfo::Download_Firmware_GPS_wAdd() const {
    return load(m_Download_Firmware_GPS_wAdd);
}
void ConnectedTargetInfo::setDownload_Firmware_GPS_wAdd(const std::string& value) {
    store(m_Download_Firmware_GPS_wAdd, std::string(value));
}

std::string ConnectedTargetInfo::Download_Firmware_RD_wAdd() const {
    return load(m_Download_Firmware_RD_wAdd);
}
void ConnectedTargetInfo::setDownload_Firmware_RD_wAdd(const std::string& value) {
    store(m_Download_Firmware_RD_wAdd, std::string(value));
}

std::string ConnectedTargetInfo::Download_Firmware_AUDIO_wAdd() const {
    return load(m_Download_Firmware_AUDIO_wAdd);
}
void ConnectedTargetInfo::setDownload_Firmware_AUDIO_wAdd(const std::string& value) {
    store(m_Download_Firmware_AUDIO_wAdd, std::string(value));
}

std::string ConnectedTargetInfo::Download_Firmware_IMAGE_wAdd() const {
    return load(m_Download_Firmware_IMAGE_wAdd);
}
void ConnectedTargetInfo::setDownload_Firmware_IMAGE_wAdd(const std::string& value) {
    store(m_Download_Firmware_IMAGE_wAdd, std::string(value));
}

std::string ConnectedTargetInfo::Download_Firmware_DATABASE_wAdd() const {
    return load(m_Download_Firmware_DATABASE_wAdd);
}
void ConnectedTargetInfo::setDownload_Firmware_DATABASE_wAdd(const std::string& value) {
    store(m_Download_Firmware_DATABASE_wAdd, std::string(value));
}

SharedBytes ConnectedTargetInfo::Download_Firmware_GPS() const {
    return load(m_Download_Firmware_GPS);
}
void ConnectedTargetInfo::setDownload_Firmware_GPS(SharedBytes value) {
    store(m_Download_Firmware_GPS, std::move(value));
}

SharedBytes ConnectedTargetInfo::Download_Firmware_RD() const {
    return load(m_Download_Firmware_RD);
}
void ConnectedTargetInfo::setDownload_Firmware_RD(SharedBytes value) {
    store(m_Download_Firmware_RD, std::move(value));
}

SharedBytes ConnectedTargetInfo::Download_Firmware_AUDIO() const {
    return load(m_Download_Firmware_AUDIO);
}
void ConnectedTargetInfo::setDownload_Firmware_AUDIO(SharedBytes value) {
    store(m_Download_Firmware_AUDIO, std::move(value));
}

SharedBytes ConnectedTargetInfo::Download_Firmware_IMAGE() const {
    return load(m_Download_Firmware_IMAGE);
}
void ConnectedTargetInfo::setDownload_Firmware_IMAGE(SharedBytes value) {
    store(m_Download_Firmware_IMAGE, std::move(value));
}

SharedBytes ConnectedTargetInfo::Download_Firmware_DATABASE() const {
    return load(m_Download_Firmware_DATABASE);
}
void ConnectedTargetInfo::setDownload_Firmware_DATABASE(SharedBytes value) {
    store(m_Download_Firmware_DATABASE, std::move(value));
}

SharedBytes ConnectedTargetInfo::Download_Firmware_DATABASE_NoStrelka() const {
    return load(m_Download_Firmware_DATABASE_NoStrelka);
}
void ConnectedTargetInfo::setDownload_Firmware_DATABASE_NoStrelka(SharedBytes value) {
    store(m_Download_Firmware_DATABASE_NoStrelka, std::move(value));
}

std::uint32_t ConnectedTargetInfo::Info_DataBase_Count() const {
    return m_Info_DataBase_Count.load();
}
void ConnectedTargetInfo::setInfo_DataBase_Count(std::uint32_t value) {
    m_Info_DataBase_Count.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_DataBase_Count_NoStrelka() const {
    return m_Info_DataBase_Count_NoStrelka.load();
}
void ConnectedTargetInfo::setInfo_DataBase_Count_NoStrelka(std::uint32_t value) {
    m_Info_DataBase_Count_NoStrelka.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_GPS_App_StartAddress() const {
    return m_Info_GPS_App_StartAddress.load();
}
void ConnectedTargetInfo::setInfo_GPS_App_StartAddress(std::uint32_t value) {
    m_Info_GPS_App_StartAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_GPS_App_EndAddress() const {
    return m_Info_GPS_App_EndAddress.load();
}
void ConnectedTargetInfo::setInfo_GPS_App_EndAddress(std::uint32_t value) {
    m_Info_GPS_App_EndAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_GPS_App_PageSize() const {
    return m_Info_GPS_App_PageSize.load();
}
void ConnectedTargetInfo::setInfo_GPS_App_PageSize(std::uint32_t value) {
    m_Info_GPS_App_PageSize.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_GPS_Binary_Cut_StartAddress() const {
    return m_Info_GPS_Binary_Cut_StartAddress.load();
}
void ConnectedTargetInfo::setInfo_GPS_Binary_Cut_StartAddress(std::uint32_t value) {
    m_Info_GPS_Binary_Cut_StartAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_GPS_Binary_Cut_EndAddress() const {
    return m_Info_GPS_Binary_Cut_EndAddress.load();
}
void ConnectedTargetInfo::setInfo_GPS_Binary_Cut_EndAddress(std::uint32_t value) {
    m_Info_GPS_Binary_Cut_EndAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_RD_App_StartAddress() const {
    return m_Info_RD_App_StartAddress.load();
}
void ConnectedTargetInfo::setInfo_RD_App_StartAddress(std::uint32_t value) {
    m_Info_RD_App_StartAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_RD_App_EndAddress() const {
    return m_Info_RD_App_EndAddress.load();
}
void ConnectedTargetInfo::setInfo_RD_App_EndAddress(std::uint32_t value) {
    m_Info_RD_App_EndAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_RD_App_PageSize() const {
    return m_Info_RD_App_PageSize.load();
}
void ConnectedTargetInfo::setInfo_RD_App_PageSize(std::uint32_t value) {
    m_Info_RD_App_PageSize.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_RD_Binary_Cut_StartAddress() const {
    return m_Info_RD_Binary_Cut_StartAddress.load();
}
void ConnectedTargetInfo::setInfo_RD_Binary_Cut_StartAddress(std::uint32_t value) {
    m_Info_RD_Binary_Cut_StartAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_RD_Binary_Cut_EndAddress() const {
    return m_Info_RD_Binary_Cut_EndAddress.load();
}
void ConnectedTargetInfo::setInfo_RD_Binary_Cut_EndAddress(std::uint32_t value) {
    m_Info_RD_Binary_Cut_EndAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_Audio_SaveAddress() const {
    return m_Info_Audio_SaveAddress.load();
}
void ConnectedTargetInfo::setInfo_Audio_SaveAddress(std::uint32_t value) {
    m_Info_Audio_SaveAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_Audio_PageSize() const {
    return m_Info_Audio_PageSize.load();
}
void ConnectedTargetInfo::setInfo_Audio_PageSize(std::uint32_t value) {
    m_Info_Audio_PageSize.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_Audio_SaveLocation() const {
    return m_Info_Audio_SaveLocation.load();
}
void ConnectedTargetInfo::setInfo_Audio_SaveLocation(std::uint32_t value) {
    m_Info_Audio_SaveLocation.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_Image_SaveAddress() const {
    return m_Info_Image_SaveAddress.load();
}
void ConnectedTargetInfo::setInfo_Image_SaveAddress(std::uint32_t value) {
    m_Info_Image_SaveAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_Image_PageSize() const {
    return m_Info_Image_PageSize.load();
}
void ConnectedTargetInfo::setInfo_Image_PageSize(std::uint32_t value) {
    m_Info_Image_PageSize.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_Image_SaveLocation() const {
    return m_Info_Image_SaveLocation.load();
}
void ConnectedTargetInfo::setInfo_Image_SaveLocation(std::uint32_t value) {
    m_Info_Image_SaveLocation.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_DataBase_SaveAddress() const {
    return m_Info_DataBase_SaveAddress.load();
}
void ConnectedTargetInfo::setInfo_DataBase_SaveAddress(std::uint32_t value) {
    m_Info_DataBase_SaveAddress.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_DataBase_PageSize() const {
    return m_Info_DataBase_PageSize.load();
}
void ConnectedTargetInfo::setInfo_DataBase_PageSize(std::uint32_t value) {
    m_Info_DataBase_PageSize.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_DataBase_SaveLocation() const {
    return m_Info_DataBase_SaveLocation.load();
}
void ConnectedTargetInfo::setInfo_DataBase_SaveLocation(std::uint32_t value) {
    m_Info_DataBase_SaveLocation.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_DataBase_SaveCountAddress() const {
    return m_Info_DataBase_SaveCountAddress.load();
}
void ConnectedTargetInfo::setInfo_DataBase_SaveCountAddress(std::uint32_t value) {
    m_Info_DataBase_SaveCountAddress.store(value);
}

std::string ConnectedTargetInfo::Info_strDate() const { return load(m_Info_strDate); }
void ConnectedTargetInfo::setInfo_strDate(const std::string& value) {
    store(m_Info_strDate, std::string(value));
}

std::optional<std::string> ConnectedTargetInfo::Info_strDate_Dongle() const {
    return load(m_Info_strDate_Dongle);
}
void ConnectedTargetInfo::setInfo_strDate_Dongle(std::optional<std::string> value) {
    store(m_Info_strDate_Dongle, std::move(value));
}

std::uint32_t ConnectedTargetInfo::Info_VerifyBlock_GPS_Address() const {
    return m_Info_VerifyBlock_GPS_Address.load();
}
void ConnectedTargetInfo::setInfo_VerifyBlock_GPS_Address(std::uint32_t value) {
    m_Info_VerifyBlock_GPS_Address.store(value);
}

std::uint32_t ConnectedTargetInfo::Info_VerifyBlock_RD_Address() const {
    return m_Info_VerifyBlock_RD_Address.load();
}
void ConnectedTargetInfo::setInfo_VerifyBlock_RD_Address(std::uint32_t value) {
    m_Info_VerifyBlock_RD_Address.store(value);
}

std::optional<std::string> ConnectedTargetInfo::VerifyBlock_GPS_UpdateData() const {
    return load(m_VerifyBlock_GPS_UpdateData);
}
void ConnectedTargetInfo::setVerifyBlock_GPS_UpdateData(std::optional<std::string> value) {
    store(m_VerifyBlock_GPS_UpdateData, std::move(value));
}

std::optional<std::string> ConnectedTargetInfo::VerifyBlock_RD_UpdateData() const {
    return load(m_VerifyBlock_RD_UpdateData);
}
void ConnectedTargetInfo::setVerifyBlock_RD_UpdateData(std::optional<std::string> value) {
    store(m_VerifyBlock_RD_UpdateData, std::move(value));
}

std::uint32_t ConnectedTargetInfo::Info_T_key_number() const { return m_Info_T_key_number.load(); }
void ConnectedTargetInfo::setInfo_T_key_number(std::uint32_t value) {
    m_Info_T_key_number.store(value);
}

SharedList ConnectedTargetInfo::Info_T_Key() const { return load(m_Info_T_Key); }
void ConnectedTargetInfo::setInfo_T_Key(SharedList value) { store(m_Info_T_Key, std::move(value)); }

std::uint32_t ConnectedTargetInfo::UpdateType() const { return m_UpdateType.load(); }
void ConnectedTargetInfo::setUpdateType(std::uint32_t value) { m_UpdateType.store(value); }

std::string ConnectedTargetInfo::ErrorMessage() const { return load(m_ErrorMessage); }
void ConnectedTargetInfo::setErrorMessage(const std::string& value) {
    store(m_ErrorMessage, std::string(value));
}

std::string ConnectedTargetInfo::SsId() const { return load(m_SsId); }
void ConnectedTargetInfo::setSsId(const std::string& value) { store(m_SsId, std::string(value)); }

SharedTextList ConnectedTargetInfo::Country_Name() const { return load(m_Country_Name); }
void ConnectedTargetInfo::setCountry_Name(SharedTextList value) {
    store(m_Country_Name, std::move(value));
}

SharedTextList ConnectedTargetInfo::Country_SpeedCam_Num() const {
    return load(m_Country_SpeedCam_Num);
}
void ConnectedTargetInfo::setCountry_SpeedCam_Num(SharedTextList value) {
    store(m_Country_SpeedCam_Num, std::move(value));
}

SharedTextList ConnectedTargetInfo::Country_Strelka_Num() const {
    return load(m_Country_Strelka_Num);
}
void ConnectedTargetInfo::setCountry_Strelka_Num(SharedTextList value) {
    store(m_Country_Strelka_Num, std::move(value));
}

std::uint32_t ConnectedTargetInfo::Country_Total_Num() const { return m_Country_Total_Num.load(); }
void ConnectedTargetInfo::setCountry_Total_Num(std::uint32_t value) {
    m_Country_Total_Num.store(value);
}

SharedList ConnectedTargetInfo::Country_Checked() const { return load(m_Country_Checked); }
void ConnectedTargetInfo::setCountry_Checked(SharedList value) {
    store(m_Country_Checked, std::move(value));
}

std::uint8_t ConnectedTargetInfo::isExcludeStrelka() const { return m_isExcludeStrelka.load(); }
void ConnectedTargetInfo::setIsExcludeStrelka(std::uint8_t value) {
    m_isExcludeStrelka.store(value);
}

std::uint8_t ConnectedTargetInfo::isExcludeFake() const { return m_isExcludeFake.load(); }
void ConnectedTargetInfo::setIsExcludeFake(std::uint8_t value) { m_isExcludeFake.store(value); }

std::uint8_t ConnectedTargetInfo::isIncludeStar() const { return m_isIncludeStar.load(); }
void ConnectedTargetInfo::setIsIncludeStar(std::uint8_t value) { m_isIncludeStar.store(value); }

SharedTextList ConnectedTargetInfo::Country_Fake_Num() const { return load(m_Country_Fake_Num); }
void ConnectedTargetInfo::setCountry_Fake_Num(SharedTextList value) {
    store(m_Country_Fake_Num, std::move(value));
}

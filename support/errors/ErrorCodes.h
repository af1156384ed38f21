// Location codes and error numbers shown in the error report dialog.
// Both are stable: users quote them and the vendor site receives them, so never renumber.
#pragma once

#include <cstdint>

namespace tavrino {

// Where an error was caught: one fixed code per procedure.
namespace loc {
inline constexpr int AboutSysInfoClick = 1;
inline constexpr int AboutOkClick = 2;
inline constexpr int AboutLoad = 3;
inline constexpr int AboutStartSysInfo = 4;
inline constexpr int AboutGetKeyValue = 5;
inline constexpr int ErrorsCancelClick = 9;
inline constexpr int ErrorsSendClick = 10;
inline constexpr int ErrorsActivate = 11;
inline constexpr int ErrorsGotFocus = 12;
inline constexpr int ApplyWallpaper = 13;
inline constexpr int ChkAutoStartClick = 14;
inline constexpr int ChkAutoUpdateClick = 15;
inline constexpr int ChkMaintainAspectClick = 16;
inline constexpr int ChkMinimizeClick = 17;
inline constexpr int ChkRandomClick = 18;
inline constexpr int ChkRotateImagesClick = 19;
inline constexpr int ChkStretchImagesClick = 20;
inline constexpr int ChkTileImagesClick = 21;
inline constexpr int CmdAddDirFilesClick = 22;
inline constexpr int CmdDeselectDirFilesClick = 23;
inline constexpr int CmdDeselectDisplayFilesClick = 24;
inline constexpr int CmdRemoveDisplayFilesClick = 25;
inline constexpr int CmdSelectDirFilesClick = 26;
inline constexpr int CmdSelectDisplayFilesClick = 27;
inline constexpr int DirDisplayFilesChange = 28;
inline constexpr int DrvDisplayFilesChange = 29;
inline constexpr int MainLoad = 30;
inline constexpr int MainMouseMove = 31;  // the tray icon callback
inline constexpr int MainUnload = 32;
inline constexpr int LstPreviewDblClick = 33;
inline constexpr int LstPreviewItemClick = 34;
inline constexpr int MnuAboutClick = 35;
inline constexpr int MnuExitClick = 36;
inline constexpr int ListFolderImages = 37;
inline constexpr int RefreshDisplayLists = 38;
inline constexpr int SaveDisplayList = 39;
inline constexpr int LoadDisplayList = 40;
inline constexpr int MnuHelpFilesClick = 41;
inline constexpr int MnuHideClick = 42;
inline constexpr int TmrShowNextTick = 43;
inline constexpr int TxtRotateMinutesChange = 44;
inline constexpr int ChooseNextImage = 45;
inline constexpr int TxtRotateMinutesKeyPress = 46;
inline constexpr int TxtRotateMinutesLostFocus = 47;
inline constexpr int ComposeWallpaper = 48;
inline constexpr int NewReleaseCmd1Click = 49;
inline constexpr int SplashLoad = 55;
inline constexpr int TmrDelayTick = 56;
inline constexpr int TmrInitializeAppTick = 57;
inline constexpr int StartUp = 59;
inline constexpr int OpenWebPage = 60;
inline constexpr int RegistryWriteString = 62;
inline constexpr int RegistryReadValue = 63;
inline constexpr int RegistryCheckError = 64;
}  // namespace loc

// Error numbers. The classic run-time numbers are kept because users and support know them.
namespace errnum {
inline constexpr std::int32_t InvalidProcedureCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t OutOfMemory = 7;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t DivisionByZero = 11;
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t BadFileMode = 54;
inline constexpr std::int32_t DiskFull = 61;
inline constexpr std::int32_t InputPastEndOfFile = 62;
inline constexpr std::int32_t DeviceUnavailable = 68;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t PathFileAccessError = 75;
inline constexpr std::int32_t PathNotFound = 76;
inline constexpr std::int32_t InvalidPropertyValue = 380;
inline constexpr std::int32_t InvalidPicture = 481;
inline constexpr std::int32_t NetworkFailure = 35750;
inline constexpr std::int32_t DesktopRefused = 35760;
inline constexpr std::int32_t SettingsUnreadable = 35770;
inline constexpr std::int32_t DisplayListDamaged = 35780;
inline constexpr std::int32_t DisplayListFull = 35781;
inline constexpr std::int32_t Registry = -10000;
}  // namespace errnum

// The readable description that goes with a number when the raising code gives none.
const char* DefaultDescription(std::int32_t number);

}  // namespace tavrino

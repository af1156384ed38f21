// Finding the operating system's System Information tool through the two registry values where
// it is registered. Only reads the registry.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "settings/RegistryApi.h"
#include "support/errors/Errors.h"

namespace tavrino {

inline constexpr const char* kSysInfoPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kSysInfoPathValue = "PATH";
inline constexpr const char* kSysInfoFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kSysInfoFolderValue = "MSINFO";
inline constexpr const char* kSysInfoProgram = "MSINFO32.EXE";
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// Reads one value. True with the value in value; false with value emptied when the key or value
// cannot be read. Strings come back without their terminating NUL, 32-bit numbers as decimal
// text; a value of any other type leaves value as it was and still counts as read. An
// unexpected failure of the registry layer (an exception) is reported under the GetKeyValue
// location and gives false.
bool GetKeyValue(ErrorReporter& reporter, RegistryApi& registry, RegKey root,
                 const std::string& keyName, const std::string& valueName, std::string& value);

// The System Information program to start: the registered path when there is one, else the
// program in the registered folder when that file exists (fileExists decides), else nothing.
// folderSeparator joins folder and program name ("\\" on Windows, "/" elsewhere).
std::optional<std::string> FindSysInfoProgram(
    ErrorReporter& reporter, RegistryApi& registry,
    const std::function<bool(const std::string& path)>& fileExists, char folderSeparator);

}  // namespace tavrino

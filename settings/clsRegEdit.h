// Reads and writes one named value under one registry key. The caller sets TopHKey, KeyName and
// ValueName, then calls RegistryReadValue (the value lands in RegCurrentValue) or
// RegistryWriteString. Every failing registry call is worded and reported by the class itself
// (location 64, number -10000); callers only see true or false.
//
// Texts are bytes: ANSI code page text on Windows, UTF-8 elsewhere.
//
// Use (the wallpaper's desktop style values):
//     tavrino::clsRegEdit reg(*registry, reporter);
//     reg.SetTopHKey(tavrino::reg::CurrentUser);
//     reg.SetKeyName("Control Panel\\desktop");
//     reg.SetValueName("TileWallpaper");
//     bool ok = reg.RegistryReadValue();
//     std::string first = tavrino::FirstCharacter(reg.RegCurrentValue());
//     if (first == "0") ok = reg.RegistryWriteString("1");
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "settings/RegistryApi.h"
#include "support/errors/Errors.h"

namespace tavrino {

// Empty, text, 16-bit or 32-bit whole number.
using RegValue = std::variant<std::monostate, std::string, std::int16_t, std::int32_t>;

// The value as text: numbers in decimal, empty for an empty value.
std::string RegValueText(const RegValue& value);
// The first character of RegValueText(value), or the empty text.
std::string FirstCharacter(const RegValue& value);

// The worded message for a registry return code ("" for codes the class does not know).
std::string_view RegistryErrorMessage(std::int32_t code) noexcept;

// The class keeps the name the rest of the program knows it by.
class clsRegEdit {  // NOLINT(readability-identifier-naming)
public:
    // Both must outlive the object.
    clsRegEdit(RegistryApi& registry, ErrorReporter& reporter) noexcept;

    // Writes sData as REG_SZ without a terminating NUL, creating the key when missing. An empty
    // sData writes RegCurrentValue as text and hands that text back through sData. False when
    // the key cannot be created or opened, the value cannot be set, or the key cannot be closed.
    bool RegistryWriteString(std::string& sData);
    bool RegistryWriteString(std::string_view sData);
    bool RegistryWriteString();

    // Reads ValueName into RegCurrentValue: REG_SZ as text (a stored terminating NUL included),
    // REG_DWORD as a 32-bit number. False (and RegCurrentValue unchanged) when the key or value
    // is missing; false with "Data Type Not Supported" and no report for any other type; false
    // when reading the data fails (RegCurrentValue then empty text or the 16-bit number 0).
    bool RegistryReadValue();

    void SetValueDataType(std::int32_t vData) noexcept { valueDataType_ = vData; }
    [[nodiscard]] std::int32_t ValueDataType() const noexcept { return valueDataType_; }

    void SetRegCurrentValue(RegValue vData) { regCurrentValue_ = std::move(vData); }
    [[nodiscard]] RegValue RegCurrentValue() const { return regCurrentValue_; }

    void SetValueName(std::string vData) { valueName_ = std::move(vData); }
    [[nodiscard]] std::string ValueName() const { return valueName_; }

    void SetKeyName(std::string vData) { keyName_ = std::move(vData); }
    [[nodiscard]] std::string KeyName() const { return keyName_; }

    void SetTopHKey(std::int32_t vData) noexcept { topHKey_ = vData; }
    [[nodiscard]] std::int32_t TopHKey() const noexcept { return topHKey_; }

private:
    // Code 0: false. Otherwise reports the worded error (location 64, number -10000): true.
    bool RegistryCheckError(std::int32_t& code);

    RegistryApi* registry_;
    ErrorReporter* reporter_;
    std::int32_t topHKey_ = 0;
    std::string keyName_;
    std::string valueName_;
    std::int32_t valueDataType_ = 0;
    RegValue regCurrentValue_;
};

}  // namespace tavrino

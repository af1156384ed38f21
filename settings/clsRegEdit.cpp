#include "settings/clsRegEdit.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "support/errors/ErrorCodes.h"

namespace tavrino {

namespace {

// Closes an opened key on every way out; Close() hands back the code for the normal path.
class KeyCloser {
public:
    KeyCloser(RegistryApi& registry, RegKey key) noexcept : registry_(&registry), key_(key) {}
    ~KeyCloser() {
        if (open_) {
            registry_->CloseKey(key_);
        }
    }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;
    KeyCloser(KeyCloser&&) = delete;
    KeyCloser& operator=(KeyCloser&&) = delete;

    std::int32_t Close() {
        open_ = false;
        return registry_->CloseKey(key_);
    }

private:
    RegistryApi* registry_;
    RegKey key_;
    bool open_ = true;
};

// The registry calls take bytes; texts are bytes already.
std::uint8_t* Bytes(std::string& s) noexcept {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    return reinterpret_cast<std::uint8_t*>(s.data());
}

}  // namespace

std::string RegValueText(const RegValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* n16 = std::get_if<std::int16_t>(&value)) {
        return std::to_string(*n16);
    }
    if (const auto* n32 = std::get_if<std::int32_t>(&value)) {
        return std::to_string(*n32);
    }
    return {};
}

std::string FirstCharacter(const RegValue& value) {
    return RegValueText(value).substr(0, 1);
}

std::string_view RegistryErrorMessage(std::int32_t code) noexcept {
    switch (code) {
        case 1:
            return "Bad Or Missing Registry";
        case 2:
            return "Bad Or Missing Registry Key";
        case 3:
            return "Unable To open Registry Key";
        case 4:
            return "Unable To Read Registry Key";
        case 5:
            return "Unable To Write Value To Registry Key";
        case 6:
            return "Out Of Memory";
        case 7:
            return "Invalid Parameter";
        case 8:
            return "Access To Registry Or Registry Key Has Been Denied";
        case 87:
            return "Invalid Parameters";
        case 259:
            return "No More Items";
        default:
            return {};
    }
}

clsRegEdit::clsRegEdit(RegistryApi& registry, ErrorReporter& reporter) noexcept
    : registry_(&registry), reporter_(&reporter) {}

bool clsRegEdit::RegistryCheckError(std::int32_t& code) {
    if (code == reg::Success) {
        return false;
    }
    try {
        reporter_->ShowErrorReport(loc::RegistryCheckError, errnum::Registry,
                                   std::string(RegistryErrorMessage(code)));
    } catch (...) {  // NOLINT(bugprone-empty-catch): a failing report must not hide the failure
    }
    return true;
}

bool clsRegEdit::RegistryWriteString(std::string& sData) {
    bool result = false;
    Guarded(*reporter_, loc::RegistryWriteString, [&] {
        if (sData.empty()) {
            sData = RegValueText(regCurrentValue_);
        }
        if (sData.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw Error(errnum::Overflow);
        }
        RegKey key = 0;
        std::int32_t rc = registry_->CreateKey(reg::RootKey(topHKey_), keyName_, key);
        if (RegistryCheckError(rc)) {
            return;
        }
        KeyCloser closer(*registry_, key);
        // The byte count leaves out any terminating NUL: the stored value has none.
        rc = registry_->SetValue(key, valueName_, reg::Sz, Bytes(sData),
                                 static_cast<std::uint32_t>(sData.size()));
        // A value that could not be written is a failure for the caller too, so that it can
        // tell the user the desktop settings were not changed.
        const bool written = !RegistryCheckError(rc);
        rc = closer.Close();
        result = !RegistryCheckError(rc) && written;
    });
    return result;
}

bool clsRegEdit::RegistryWriteString(std::string_view sData) {
    std::string text(sData);
    return RegistryWriteString(text);
}

bool clsRegEdit::RegistryWriteString() {
    std::string text;
    return RegistryWriteString(text);
}

bool clsRegEdit::RegistryReadValue() {
    bool result = false;
    Guarded(*reporter_, loc::RegistryReadValue, [&] {
        RegKey key = 0;
        std::int32_t rc =
            registry_->OpenKey(reg::RootKey(topHKey_), keyName_, 0, reg::AllButStandardRights, key);
        if (RegistryCheckError(rc)) {
            return;
        }
        KeyCloser closer(*registry_, key);

        auto type = static_cast<std::uint32_t>(valueDataType_);
        std::uint32_t n = 0;
        rc = registry_->QueryValue(key, valueName_, &type, nullptr, &n);
        valueDataType_ = static_cast<std::int32_t>(type);
        if (RegistryCheckError(rc)) {
            return;  // RegCurrentValue keeps what it held
        }

        bool dataRead = true;
        if (type == reg::Sz) {
            std::string buffer(n, '\0');
            std::uint32_t got = n;
            rc = registry_->QueryValue(key, valueName_, &type, Bytes(buffer), &got);
            valueDataType_ = static_cast<std::int32_t>(type);
            if (RegistryCheckError(rc)) {
                regCurrentValue_ = std::string();
                dataRead = false;
            } else {
                // A terminating NUL that the stored data carries stays part of the text.
                buffer.resize(std::min(got, n));
                regCurrentValue_ = std::move(buffer);
            }
        } else if (type == reg::Dword) {
            std::uint32_t localType = 0;
            // The buffer's real size, not the stored byte count: a damaged REG_DWORD longer than
            // four bytes must not be copied over the number.
            std::array<std::uint8_t, 4> number{};
            auto size = static_cast<std::uint32_t>(number.size());
            rc = registry_->QueryValue(key, valueName_, &localType, number.data(), &size);
            if (RegistryCheckError(rc)) {
                regCurrentValue_ = std::int16_t{0};
                dataRead = false;
            } else {
                const std::uint32_t bits =
                    std::uint32_t{number[0]} | (std::uint32_t{number[1]} << 8U) |
                    (std::uint32_t{number[2]} << 16U) | (std::uint32_t{number[3]} << 24U);
                regCurrentValue_ = static_cast<std::int32_t>(bits);
            }
        } else {
            regCurrentValue_ = std::string("Data Type Not Supported");
            static_cast<void>(closer.Close());  // not checked, nothing reported
            return;
        }

        rc = closer.Close();
        result = !RegistryCheckError(rc) && dataRead;
    });
    return result;
}

}  // namespace tavrino

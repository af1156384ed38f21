#include "settings/Options.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace tavrino {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::size_t IndexOf(Option option) {
    return static_cast<std::size_t>(option);
}

}  // namespace

const OptionKey& KeyOf(Option option) {
    return kOptionKeys.at(IndexOf(option));
}

double ParseStoredNumber(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    std::string_view body = text.substr(begin, end - begin);
    std::size_t i = 0;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i])) != 0) {
        ++i;
        ++digits;
    }
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && std::isdigit(static_cast<unsigned char>(body[i])) != 0) {
            ++i;
            ++digits;
        }
    }
    if (digits > 0 && i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < body.size() && (body[j] == '+' || body[j] == '-')) {
            ++j;
        }
        std::size_t expDigits = 0;
        while (j < body.size() && std::isdigit(static_cast<unsigned char>(body[j])) != 0) {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0) {
            i = j;
        }
    }
    if (digits == 0 || i != body.size()) {
        throw Error(errnum::TypeMismatch);
    }
    // from_chars ignores the process locale (a decimal comma would misread "1.5") and takes
    // no leading '+'.
    std::string_view digitsText = body;
    if (!digitsText.empty() && digitsText.front() == '+') {
        digitsText.remove_prefix(1);
    }
    double value = 0.0;
    const auto [stop, error] =
        std::from_chars(digitsText.data(), digitsText.data() + digitsText.size(), value);
    if (error == std::errc::result_out_of_range || !std::isfinite(value)) {
        throw Error(errnum::Overflow);
    }
    if (error != std::errc() || stop != digitsText.data() + digitsText.size()) {
        throw Error(errnum::TypeMismatch);
    }
    return value;
}

int ParseCheckState(std::string_view text) {
    double value = ParseStoredNumber(text);
    double rounded = std::nearbyint(value);  // default rounding mode: half to even
    if (rounded < 0.0 || rounded > 2.0) {
        throw Error(errnum::InvalidPropertyValue);
    }
    return static_cast<int>(rounded);
}

double ReadNumberSetting(SettingsStore& store, const char* key, int def, ErrorReporter& reporter,
                         int location) {
    double value = def;
    Guarded(reporter, location, [&] {
        value = ParseStoredNumber(store.Get(kSettingsApplication, kSettingsSection, key, def));
    });
    return value;
}

OptionBoxes::OptionBoxes(SettingsStore& store, ErrorReporter& reporter)
    : store_(store), reporter_(reporter) {}

int OptionBoxes::State(Option option) const {
    return states_.at(IndexOf(option));
}

void OptionBoxes::SetState(Option option, int state) {
    if (state < 0 || state > 2) {
        throw Error(errnum::InvalidPropertyValue);
    }
    int& current = states_.at(IndexOf(option));
    if (current == state) {
        return;
    }
    current = state;
    if (onStateChanged) {
        onStateChanged(option, state);
    }
    Click(option);
}

void OptionBoxes::Click(Option option) {
    const OptionKey& key = KeyOf(option);
    Guarded(reporter_, key.clickLocation, [&] {
        int state = State(option);
        if (state == 1 && option == Option::Stretch) {
            SetState(Option::Tile, 0);
        } else if (state == 1 && option == Option::Tile) {
            SetState(Option::Stretch, 0);
        }
        store_.Save(kSettingsApplication, kSettingsSection, key.key, std::to_string(state));
    });
}

std::string OptionBoxes::LoadFromStore(int location) {
    for (const OptionKey& key : kOptionKeys) {
        int state = key.defaultValue;
        Guarded(reporter_, location, [&] {
            state = ParseCheckState(
                store_.Get(kSettingsApplication, kSettingsSection, key.key, key.defaultValue));
        });
        SetState(key.option, state);
    }
    std::string minutes = std::to_string(kRotateMinutesDefault);
    Guarded(reporter_, location, [&] {
        minutes = store_.Get(kSettingsApplication, kSettingsSection, kRotateMinutesKey,
                             kRotateMinutesDefault);
    });
    return minutes;
}

}  // namespace tavrino

// The program's options: keys, defaults, and the rules of the option check boxes
// (write-back when a state changes, Tile and Stretch clearing each other).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "settings/SettingsStore.h"
#include "support/errors/Errors.h"

namespace tavrino {

inline constexpr const char* kSettingsApplication = "Varnello";
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kRotateMinutesKey = "RotateMinutes";
inline constexpr int kRotateMinutesDefault = 5;

enum class Option { AutoStart, AutoUpdate, Aspect, Minimize, Random, Rotate, Stretch, Tile };

struct OptionKey {
    Option option;
    const char* key;
    int defaultValue;
    int clickLocation;  // location code of the check box's click handler
};

// In the order the main window reads them at load.
inline constexpr std::array<OptionKey, 8> kOptionKeys{{
    {Option::AutoStart, "AutoStart", 1, loc::ChkAutoStartClick},
    {Option::AutoUpdate, "AutoUpdate", 1, loc::ChkAutoUpdateClick},
    {Option::Aspect, "Aspect", 1, loc::ChkMaintainAspectClick},
    {Option::Minimize, "Minimize", 1, loc::ChkMinimizeClick},
    {Option::Random, "Random", 0, loc::ChkRandomClick},
    {Option::Rotate, "Rotate", 1, loc::ChkRotateImagesClick},
    {Option::Stretch, "Stretch", 1, loc::ChkStretchImagesClick},
    {Option::Tile, "Tile", 0, loc::ChkTileImagesClick},
}};

const OptionKey& KeyOf(Option option);

// A stored text read as a number: blanks (space, tab) around it allowed, optional sign, digits
// with an optional decimal part and exponent. Anything else throws Error(TypeMismatch), a number
// beyond a double Error(Overflow). Strict, unlike NumericValue (rotation/NumericValue.h), the
// forgiving rule for the typed rotation period, which reads the number a text begins with,
// skips blanks inside it and gives 0 rather than an error.
double ParseStoredNumber(std::string_view text);

// A stored check-box state: a number rounded half to even that must be 0, 1 or 2
// (2 is the greyed state). Throws TypeMismatch or InvalidPropertyValue.
int ParseCheckState(std::string_view text);

// Reads a key as a number; a value that is not a number is reported under location and the
// key's default is used instead, so a damaged setting never stops the program.
double ReadNumberSetting(SettingsStore& store, const char* key, int def, ErrorReporter& reporter,
                         int location);

// The option check boxes as the live copy of the settings. Assigning a different state
// behaves like a click: the click handler saves the new state, and checking Stretch or
// Tile first clears the other one (which saves "0" through its own handler).
class OptionBoxes {
public:
    OptionBoxes(SettingsStore& store, ErrorReporter& reporter);

    [[nodiscard]] int State(Option option) const;
    [[nodiscard]] bool Checked(Option option) const { return State(option) != 0; }

    // Assigns a state; when it differs from the current one the click handler runs.
    void SetState(Option option, int state);

    // The load's reading: every key in order, then RotateMinutes (returned unchanged).
    // A damaged value is reported under location and the key's default is used.
    std::string LoadFromStore(int location);

    // Called after every state change, so a view can mirror the boxes.
    std::function<void(Option, int)> onStateChanged;

private:
    void Click(Option option);

    SettingsStore& store_;
    ErrorReporter& reporter_;
    std::array<int, kOptionKeys.size()> states_{};
};

}  // namespace tavrino

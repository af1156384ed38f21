// Feeds arbitrary bytes to the registry file reader. Whatever it accepts must survive a round
// trip: writing it out and reading that back gives the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/RegistryFileStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = tavrino::ParseRegistryFile(text);
    if (!parsed) {
        return 0;
    }
    const std::string once = tavrino::FormatRegistryFile(*parsed);
    const auto again = tavrino::ParseRegistryFile(once);
    if (!again || tavrino::FormatRegistryFile(*again) != once) {
        std::abort();
    }
    return 0;
}

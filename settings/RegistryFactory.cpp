// Picks the platform's registry: advapi32 on Windows, the text-file store elsewhere.
#include "settings/RegistryApi.h"

#include <utility>

#ifdef _WIN32
#include "settings/RegistryWin32.h"
#else
#include "settings/RegistryFileStore.h"
#endif

namespace tavrino {

#ifdef _WIN32

std::unique_ptr<RegistryApi> MakeUserRegistry() {
    return MakeWin32Registry();
}
std::unique_ptr<RegistryApi> MakeSystemRegistry() {
    return MakeWin32Registry();
}

#else

std::unique_ptr<RegistryApi> MakeUserRegistry() {
    RegistryFileOptions options;
    options.userFile = DefaultUserRegistryFile();
    options.systemFile = DefaultSystemRegistryFile();
    options.seedDesktopDefaults = true;
    return std::make_unique<RegistryFileStore>(std::move(options));
}

std::unique_ptr<RegistryApi> MakeSystemRegistry() {
    RegistryFileOptions options;
    options.userFile = DefaultUserRegistryFile();
    options.systemFile = DefaultSystemRegistryFile();
    options.userReadOnly = true;
    options.seedDesktopDefaults = true;
    return std::make_unique<RegistryFileStore>(std::move(options));
}

#endif

}  // namespace tavrino

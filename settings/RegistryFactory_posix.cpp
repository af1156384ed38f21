// Away from Windows the registry is the text-file store.
#include <utility>

#include "settings/RegistryApi.h"
#include "settings/RegistryFileStore.h"

namespace tavrino {

namespace {

std::unique_ptr<RegistryApi> MakeFileRegistry(bool userReadOnly) {
    RegistryFileOptions options;
    options.userFile = DefaultUserRegistryFile();
    options.systemFile = DefaultSystemRegistryFile();
    options.userReadOnly = userReadOnly;
    options.seedDesktopDefaults = true;
    return std::make_unique<RegistryFileStore>(std::move(options));
}

}  // namespace

std::unique_ptr<RegistryApi> MakeUserRegistry() {
    return MakeFileRegistry(false);
}

std::unique_ptr<RegistryApi> MakeSystemRegistry() {
    return MakeFileRegistry(true);
}

}  // namespace tavrino

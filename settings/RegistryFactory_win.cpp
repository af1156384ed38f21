// On Windows both registries are the real one, through advapi32.
#include "settings/RegistryApi.h"
#include "settings/RegistryWin32.h"

namespace tavrino {

std::unique_ptr<RegistryApi> MakeUserRegistry() {
    return MakeWin32Registry();
}

std::unique_ptr<RegistryApi> MakeSystemRegistry() {
    return MakeWin32Registry();
}

}  // namespace tavrino

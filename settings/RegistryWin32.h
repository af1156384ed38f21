// The Windows registry through advapi32's ANSI calls. Windows builds only.
#pragma once

#include <memory>

#include "settings/RegistryApi.h"

namespace tavrino {

std::unique_ptr<RegistryApi> MakeWin32Registry();

}  // namespace tavrino

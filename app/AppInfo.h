#pragma once

#include "common/BuildInfo.h"

// Fixed facts about this program that several windows and the update check show.
namespace AppInfo {
using BuildInfo::kVersion;
inline constexpr char kBuildTarget[] = "dev";
inline constexpr char kProductName[] = "Kestrun开发平台";
}

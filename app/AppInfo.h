#pragma once

// Fixed facts about this program that several windows and the update check show.
namespace AppInfo {
inline constexpr char kVersion[] = "1.1.1";
inline constexpr char kBuildTarget[] = "dev";
inline constexpr char kProductName[] = "Kestrun开发平台";
}

// The small pictures: toolbar strips, list row icons, the Tip of the Day bulb, the application
// icon, the About picture and the mode animations.
#pragma once

#include <string>

namespace vext::padart {

bool WriteToolbars(const std::string& outDir, std::string& error);
bool WriteBulbAndIcon(const std::string& outDir, std::string& error);
bool WriteAboutPicture(const std::string& outDir, std::string& error);
bool WriteAnimations(const std::string& outDir, std::string& error);

} // namespace vext::padart

#include "app/config/theme_settings.h"

#include "app/config/config_path.h"

#include <tinyxml2.h>

#include <limits>

std::string g_sThemePrefix;

std::string readThemeSettings(const tinyxml2::XMLElement* themeRoot, ThemeSettings& out) {
    const tinyxml2::XMLElement* common =
        themeRoot ? themeRoot->FirstChildElement("common") : nullptr;
    if (common == nullptr)
        return "theme: config/common";
    out.bBackNextArrowsInText =
        readConfigBool(common, "backNextArrowsInText/@value").value_or(out.bBackNextArrowsInText);
    out.bPageNumeration =
        readConfigBool(common, "pageNumeration/@value").value_or(out.bPageNumeration);
    out.bSinglePageMode =
        readConfigBool(common, "singlePageMode/@value").value_or(out.bSinglePageMode);
    // A length that does not fit an int is as unreadable as garbage.
    const auto length = readConfigInt(common, "MBLineLength/@value");
    if (length && *length >= std::numeric_limits<int>::min() &&
        *length <= std::numeric_limits<int>::max())
        out.nMBLineLength = static_cast<int>(*length);
    return {};
}

// The keys init reads from the chosen theme's "config.xml" ("common"
// element), and the process-wide folder of that theme inside the branding
// archive.
#pragma once

#include <string>

namespace tinyxml2 {
class XMLElement;
}

struct ThemeSettings {
    bool bBackNextArrowsInText = true;
    bool bPageNumeration = true;
    bool bSinglePageMode = false;
    int nMBLineLength = 40; // message-box line length in characters
};

// Reads the keys below the theme document's root; unreadable values keep
// their defaults. Returns "theme: config/common" when the root has no
// "common" element, else an empty text.
std::string readThemeSettings(const tinyxml2::XMLElement* themeRoot, ThemeSettings& out);

// The chosen theme's path in the archive followed by "\"; every theme file
// is looked up under it. Set once at start-up, then only read.
extern std::string g_sThemePrefix;

// Resources of a program on the host build.
//
// The host reads the same resource script that windres compiles for Windows: icons
// (ICON statements) and menus (MENU blocks with POPUP and MENUITEM lines), with the
// numbers defined in the headers the script includes.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace sim {

struct MenuItemResource {
    unsigned id = 0;
    std::string text;
    std::vector<MenuItemResource> popup;  // items of a POPUP
    bool isPopup = false;
};

struct ProgramResources {
    std::map<int, std::string> icons;  // resource number -> file
    std::map<std::string, std::string> namedIcons;  // icon groups named by text
    std::map<int, std::vector<MenuItemResource>> menus;

    // Parses the script `path`; a missing file gives no resources.
    static ProgramResources Load(const std::string& path);
};

}  // namespace sim

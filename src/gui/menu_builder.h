// Builds the menu bar from the command table: one QAction per command (shared by its menu item,
// its accelerator and its toolbar button), the menus and submenus in their order, and the
// replacement texts of "kelpa.cfg" applied to items and titles.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <map>

#include "app/commands.h"

class QAction;
class QMenu;
class QMenuBar;
class QObject;

namespace kelpa {

class ConfigTexts;

inline constexpr size_t kMenuKinds = 10;  // every Menu value

struct CommandMenus {
    std::map<uint32_t, QAction*> actions;  // every command of the menus and the toolbar
    std::array<QMenu*, kMenuKinds> menus{};

    QAction* Action(uint32_t command) const;
    QMenu* MenuOf(Menu menu) const { return menus[static_cast<size_t>(menu)]; }
};

// The built-in title of a menu ("Control", ..., "Channels", "Web").
QString MenuTitle(Menu menu);

// Creates the actions of every command (owned by `owner`), with their texts, check marks and
// application-wide accelerators.
void CreateCommandActions(QObject* owner, CommandMenus* out);

// Fills `bar` with the menus and their items; the Sources menu stays empty (it is built from
// the device list when it opens).
void BuildMenuBar(QMenuBar* bar, CommandMenus* menus);

// Replaces item texts and menu titles by those `texts` gives.
void ApplyMenuTexts(const ConfigTexts& texts, const CommandMenus& menus);

}  // namespace kelpa

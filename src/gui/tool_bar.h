// The main window's toolbar: the buttons of the command table with their icons (drawn as SVG,
// sharp at any scale) and tooltips ("kelpa.cfg" [TOOLBAR] replacements first), then the delay
// box. Each button is the action of its command, so it stays down exactly while the menu item
// is checked.
#pragma once

#include <QToolBar>

namespace kelpa {

class ConfigTexts;
class DelayBox;
struct CommandMenus;

// The resource of toolbar image `index` (0 ... 13).
QString ToolbarIconPath(int index);

class KelpaToolBar final : public QToolBar {
    Q_OBJECT

  public:
    KelpaToolBar(const CommandMenus& menus, const ConfigTexts& texts, QWidget* parent = nullptr);

    DelayBox* Delay() const { return delay_; }

  private:
    DelayBox* delay_;
};

}  // namespace kelpa

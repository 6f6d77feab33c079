#include "gui/tool_bar.h"

#include <QAction>
#include <QIcon>
#include <array>

#include "gui/config_texts.h"
#include "gui/delay_box.h"
#include "gui/menu_builder.h"

namespace kelpa {
namespace {

constexpr std::array<const char*, 14> kIconNames = {"play",
                                                    "pause",
                                                    "stop",
                                                    "capture",
                                                    "live_preview",
                                                    "processed_preview",
                                                    "guide_reticle",
                                                    "filters_setting",
                                                    "default_reset",
                                                    "auto_amplification",
                                                    "auto_accumulator",
                                                    "auto_delay",
                                                    "nr_horizontal",
                                                    "nr_vertical"};

constexpr int kIconSize = 16;

}  // namespace

QString ToolbarIconPath(int index) {
    if (index < 0 || index >= static_cast<int>(kIconNames.size())) return {};
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kIconNames[index]));
}

KelpaToolBar::KelpaToolBar(const CommandMenus& menus, const ConfigTexts& texts, QWidget* parent)
    : QToolBar(parent), delay_(new DelayBox(this)) {
    setObjectName(QStringLiteral("toolbar"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(kIconSize, kIconSize));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContextMenuPolicy(Qt::PreventContextMenu);
    for (const ToolbarButton& button : ToolbarButtons()) {
        if (button.command == 0) {
            addSeparator();
            continue;
        }
        QAction* action = menus.Action(button.command);
        if (action == nullptr) continue;
        action->setIcon(QIcon(ToolbarIconPath(button.image)));
        const std::string* replacement = texts.Tooltip(button.key);
        action->setToolTip(replacement != nullptr ? QString::fromStdString(*replacement)
                                                  : QString::fromLatin1(button.tooltip));
        addAction(action);
    }
    delay_->setObjectName(QStringLiteral("delay"));
    delay_->setToolTip(QStringLiteral("Delay [seconds:milliseconds]"));
    addWidget(delay_);
}

}  // namespace kelpa

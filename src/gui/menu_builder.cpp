#include "gui/menu_builder.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "gui/command_state.h"
#include "gui/config_texts.h"

namespace kelpa {
namespace {

// What a menu holds, in order: items by command, submenus, separators.
struct MenuEntry {
    enum Kind : uint8_t { kItem, kSubmenu, kSeparator } kind;
    uint32_t command = 0;
    Menu submenu = Menu::kControl;
};

constexpr MenuEntry Item(uint32_t command) {
    return {MenuEntry::kItem, command, Menu::kControl};
}
constexpr MenuEntry Sub(Menu menu) {
    return {MenuEntry::kSubmenu, 0, menu};
}
constexpr MenuEntry kSep{MenuEntry::kSeparator, 0, Menu::kControl};

constexpr MenuEntry kControl[] = {Item(kCmdCaptureSetup), kSep, Item(kCmdStart), Item(kCmdPause),
                                  Item(kCmdStop),         kSep, Item(kCmdExit)};
constexpr MenuEntry kProcessing[] = {Sub(Menu::kChannels),
                                     Sub(Menu::kAccumulate),
                                     Sub(Menu::kArea),
                                     kSep,
                                     Item(kCmdAutoAmplification),
                                     Item(kCmdAutoAccumulate),
                                     Item(kCmdAutoDelay),
                                     kSep,
                                     Item(kCmdNrHorizontal),
                                     Item(kCmdNrVertical),
                                     kSep,
                                     Item(kCmdFlipVertical),
                                     kSep,
                                     Item(kCmdTakeDark),
                                     Item(kCmdUseDark),
                                     kSep,
                                     Item(kCmdSettings),
                                     Item(kCmdDefault)};
constexpr MenuEntry kChannels[] = {Item(kCmdBlackAndWhite), Item(kCmdOutsideAsIs), kSep,
                                   Item(kCmdAsIs),          Item(kCmdGrey),        Item(kCmdSum),
                                   Item(kCmdRed),           Item(kCmdGreen),       Item(kCmdBlue)};
constexpr MenuEntry kAccumulate[] = {Item(kCmdAverage), Item(kCmdSubtracterAdder)};
constexpr MenuEntry kArea[] = {
    Item(kCmdAreaSetup), kSep, Item(kCmdAreaMove),      Item(kCmdAreaResize),
    Item(kCmdAreaDraw),  kSep, Item(kCmdAreaExitChange)};
constexpr MenuEntry kGuide[] = {Item(kCmdGuideStart), Item(kCmdVirtualGuide),
                                Item(kCmdAutoMove),   kSep,
                                Item(kCmdGuideLog),   kSep,
                                Item(kCmdGuideSetup)};
constexpr MenuEntry kView[] = {Item(kCmdLivePreview),
                               Item(kCmdProcPreview),
                               Item(kCmdInfoStatistic),
                               kSep,
                               Item(kCmdViewGrid),
                               Item(kCmdViewArea),
                               kSep,
                               Item(kCmdHalfSize),
                               Item(kCmdDefaultSize),
                               Item(kCmdInputSize)};
constexpr MenuEntry kHelp[] = {Item(kCmdContents), Item(kCmdIfSlow), kSep, Sub(Menu::kWeb), kSep,
                               Item(kCmdAbout)};
constexpr MenuEntry kWeb[] = {Item(kCmdSendMail), Item(kCmdWebSite), Item(kCmdWebOrb)};

std::span<const MenuEntry> Layout(Menu menu) {
    switch (menu) {
        case Menu::kControl:
            return kControl;
        case Menu::kProcessing:
            return kProcessing;
        case Menu::kGuide:
            return kGuide;
        case Menu::kView:
            return kView;
        case Menu::kHelp:
            return kHelp;
        case Menu::kChannels:
            return kChannels;
        case Menu::kAccumulate:
            return kAccumulate;
        case Menu::kArea:
            return kArea;
        case Menu::kWeb:
            return kWeb;
        case Menu::kSources:
            break;
    }
    return {};
}

constexpr Menu kMenuBarOrder[] = {Menu::kControl, Menu::kSources, Menu::kProcessing,
                                  Menu::kGuide,   Menu::kView,    Menu::kHelp};

QKeySequence ShortcutOf(const Accelerator& accelerator) {
    QString text = QString::fromLatin1(accelerator.key);
    if (accelerator.modifier == KeyModifier::kControl) text.prepend(QLatin1String("Ctrl+"));
    return QKeySequence(text, QKeySequence::PortableText);
}

void FillMenu(QMenu* menu, Menu kind, CommandMenus* menus) {
    for (const MenuEntry& entry : Layout(kind)) {
        switch (entry.kind) {
            case MenuEntry::kItem:
                menu->addAction(menus->Action(entry.command));
                break;
            case MenuEntry::kSeparator:
                menu->addSeparator();
                break;
            case MenuEntry::kSubmenu: {
                QMenu* sub = menu->addMenu(MenuTitle(entry.submenu));
                menus->menus[static_cast<size_t>(entry.submenu)] = sub;
                FillMenu(sub, entry.submenu, menus);
                break;
            }
        }
    }
}

void SetTitle(QMenu* menu, const std::string* text) {
    if (menu != nullptr && text != nullptr) menu->setTitle(QString::fromStdString(*text));
}

}  // namespace

QAction* CommandMenus::Action(uint32_t command) const {
    const auto found = actions.find(command);
    return found == actions.end() ? nullptr : found->second;
}

QString MenuTitle(Menu menu) {
    switch (menu) {
        case Menu::kControl:
            return QStringLiteral("Control");
        case Menu::kSources:
            return QStringLiteral("Sources");
        case Menu::kProcessing:
            return QStringLiteral("Processing");
        case Menu::kGuide:
            return QStringLiteral("Guide");
        case Menu::kView:
            return QStringLiteral("View");
        case Menu::kHelp:
            return QStringLiteral("Help");
        case Menu::kChannels:
            return QStringLiteral("Channels");
        case Menu::kAccumulate:
            return QStringLiteral("Accumulate");
        case Menu::kArea:
            return QStringLiteral("Area");
        case Menu::kWeb:
            return QStringLiteral("Web");
    }
    return {};
}

void CreateCommandActions(QObject* owner, CommandMenus* out) {
    const auto make = [&](uint32_t command, const QString& text) {
        if (out->actions.count(command) != 0) return;
        auto* action = new QAction(text, owner);
        action->setData(command);
        action->setCheckable(IsCheckable(command));
        out->actions[command] = action;
    };
    for (const MenuItem& item : MenuItems()) make(item.command, QString::fromLatin1(item.text));
    // Toolbar-only commands (Capture) take their tooltip as their text.
    for (const ToolbarButton& button : ToolbarButtons()) {
        if (button.command != 0) make(button.command, QString::fromLatin1(button.tooltip));
    }
    for (const Accelerator& accelerator : Accelerators()) {
        QAction* action = out->Action(accelerator.command);
        if (action == nullptr) continue;
        action->setShortcut(ShortcutOf(accelerator));
        // The keys work in every window of the program, as they reach the main window's
        // accelerator table from any of them.
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
}

void BuildMenuBar(QMenuBar* bar, CommandMenus* menus) {
    for (const Menu kind : kMenuBarOrder) {
        QMenu* menu = bar->addMenu(MenuTitle(kind));
        menus->menus[static_cast<size_t>(kind)] = menu;
        FillMenu(menu, kind, menus);
    }
}

void ApplyMenuTexts(const ConfigTexts& texts, const CommandMenus& menus) {
    for (size_t position = 0; position < std::size(kMenuBarOrder); ++position) {
        SetTitle(menus.MenuOf(kMenuBarOrder[position]),
                 texts.MenuText(static_cast<int32_t>(position), kMenuTitleKey));
    }
    const int32_t processing = ConfigMenuNumber(Menu::kProcessing);
    SetTitle(menus.MenuOf(Menu::kChannels), texts.MenuText(processing, kChannelsMenuKey));
    SetTitle(menus.MenuOf(Menu::kAccumulate), texts.MenuText(processing, kAccumulateMenuKey));
    SetTitle(menus.MenuOf(Menu::kArea), texts.MenuText(processing, kAreaMenuKey));
    SetTitle(menus.MenuOf(Menu::kWeb), texts.MenuText(ConfigMenuNumber(Menu::kHelp), kWebMenuKey));
    for (const MenuItem& item : MenuItems()) {
        const std::string* text = texts.MenuText(ConfigMenuNumber(item.menu), item.key);
        QAction* action = menus.Action(item.command);
        if (text != nullptr && action != nullptr) action->setText(QString::fromStdString(*text));
    }
}

}  // namespace kelpa

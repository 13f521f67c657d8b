#pragma once

#include <QString>

// One command of the main window's fixed menus: where its item stands, its caption and shortcut,
// and the key its window or action is registered under (the caption in upper case, "&JOB
// LIST..."). The menu bar, the registrations and the rights table all take a command from here,
// so that an item and what it opens cannot drift apart.
struct MenuCommand
{
    const char *menu;    // "mnuFile"
    int index;           // the item's position in its menu, from 1
    const char *caption; // "&Job List..."
    const char *shortcut = "";
    bool designEnabled = true; // false: the item starts disabled (and may have nothing behind it)

    QString objectName() const
    {
        return QString::fromLatin1(menu) + QStringLiteral("Sub") + QString::number(index);
    }
    QString key() const { return QString::fromUtf8(caption).toUpper(); }
};

namespace MenuCommands {
inline constexpr MenuCommand JobList{"mnuFile", 1, "&Job List...", "Ctrl+J"};
inline constexpr MenuCommand ProductionCounts{"mnuFile", 2, "&Production Counts...", "Ctrl+P"};
inline constexpr MenuCommand Transfers{"mnuFile", 3, "&Transfers...", "Ctrl+T"};
inline constexpr MenuCommand OnHold{"mnuFile", 4, "Production on &Hold...", "Ctrl+H"};
inline constexpr MenuCommand Disposition{"mnuFile", 5, "&Disposition of Hold...", "Ctrl+D"};
inline constexpr MenuCommand ProtectData{"mnuFile", 6, "P&rotect Data...", "Ctrl+R"};
inline constexpr MenuCommand CheckSheets{"mnuFile", 7, "&View/Edit QA Check Sheets...", "", false};
inline constexpr MenuCommand Security{"mnuFile", 9, "&Security Settings..."};
inline constexpr MenuCommand Exit{"mnuFile", 11, "E&xit", "Ctrl+X"};

inline constexpr MenuCommand ColorFeeder{"mnuTools", 1, "&Color Feeder Calibration..."};
inline constexpr MenuCommand Schedule{"mnuTools", 2, "&Production Schedule..."};
inline constexpr MenuCommand SetupSheets{"mnuTools", 3, "Mattec Setup S&heets...", "", false};
inline constexpr MenuCommand MachineConnections{"mnuTools", 4, "&Machine Connections..."};

inline constexpr MenuCommand Backup{"mnuDatabase", 1, "&Backup"};
inline constexpr MenuCommand Restore{"mnuDatabase", 2, "&Restore"};
inline constexpr MenuCommand Repair{"mnuDatabase", 3, "Re&pair"};
inline constexpr MenuCommand Compact{"mnuDatabase", 4, "&Compact"};

inline constexpr MenuCommand Cascade{"mnuWindow", 1, "&Cascade"};
inline constexpr MenuCommand Tile{"mnuWindow", 2, "&Tile"};
inline constexpr MenuCommand ArrangeIcons{"mnuWindow", 3, "&Arrange Icons"};
} // namespace MenuCommands

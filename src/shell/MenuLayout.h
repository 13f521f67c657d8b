#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

// One item of the main window's menus. An item without caption is a separator.
struct MenuItem
{
    QString objectName; // "mnuFileSub1"
    QString caption;    // "&Job List..."
    QString shortcut;   // "Ctrl+J", or empty
    bool designEnabled = true;
};

struct Menu
{
    QString objectName; // "mnuFile"
    QString caption;    // "&File"
    QList<MenuItem> items;
};

// The main window's menu bar as data: captions, shortcuts and the design state. Commands are
// identified by their captions in upper case ("&JOB LIST...").
namespace MenuLayout {
QList<Menu> menus();
QString itemName(const QString &menu, int index); // ("mnuFile", 1) -> "mnuFileSub1"

// The items the security level switches on or off (File 1-7, 9, 11; Database 1, 2). A level other
// than "A", "B", "C", "D" changes nothing.
std::optional<QMap<QString, bool>> rightsFor(const QString &level);
} // namespace MenuLayout

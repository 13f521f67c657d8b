#pragma once

#include "MachineReader.h"

#include <QList>
#include <QString>

class MachineStore;

// The machine connections as their window edits them: one row per machine, each change checked
// and stored at once. Only level C changes them; other levels see them.
class ConnectionsSheet
{
public:
    enum Field { Machine, Folder, Counter, Cavities, Enabled, FieldCount };

    void setLinks(QList<MachineLink> links) { m_links = std::move(links); }
    int count() const { return int(m_links.size()); }
    const MachineLink &link(int row) const { return m_links.at(row); }
    void setEditable(bool editable) { m_editable = editable; }
    bool editable() const { return m_editable; }

    static QString caption(Field field);
    static QString text(const MachineLink &link, Field field);

    // Checks what was typed into a field and stores it; the message says why not when it was not.
    QString enter(MachineStore &store, int row, Field field, const QString &typed);
    // A new connection for a machine number not connected yet; the message when refused.
    QString add(MachineStore &store, const QString &typedNumber, const QString &folder);
    void remove(MachineStore &store, int row);

private:
    int rowOf(int machine) const;

    QList<MachineLink> m_links;
    bool m_editable = false;
};

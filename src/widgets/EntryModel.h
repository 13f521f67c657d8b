#pragma once

#include <QAbstractTableModel>
#include <functional>

#include "foundation/Prompter.h"

class KelvaraError;

// The base of the grid models that save what the user types: a refused entry is told through the
// prompter, and a database failure while saving goes to the window's failure handler. The grid is
// flat, its columns are fixed when it is made (by their captions), and its rows are those followed
// by key (a model whose rows come from elsewhere counts them itself).
class EntryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    EntryModel(Prompter &prompter, QStringList captions, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : keyCount(); }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_captions.size());
    }
    // The columns' captions across the top, nothing down the side.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Database failures while saving go here (the window reports them): the text the user is
    // shown and the detail (the statement) that goes to the error log only.
    using FailureHandler = std::function<void(const QString &text, const QString &logDetail)>;
    void setFailureHandler(FailureHandler handler) { m_onFailure = std::move(handler); }
    // Counts the entries that were not stored (refused, or their save failed): a command that
    // commits the open cell first compares it before and after to learn whether it may go on.
    int refusals() const { return m_refusals; }
    // The key of the row shown at row (see followKeys); -1 past the rows.
    qint64 keyAt(int row) const { return m_keys.value(row, -1); }

signals:
    // A save failed (the database could not be written just now): the window reopens the cell
    // with the text typed.
    void keepTyped(const QModelIndex &index, const QString &typed);
    // A save was refused because the date-shift was protected on another workstation: the
    // window reads it again and shows it read-only.
    void protectionMet();

protected:
    Prompter &prompter() const { return m_prompter; }
    // Tells why an entry was not stored. While the message is up, the editor that loses the focus
    // to it commits its text again: such a commit is ignored (see prompting()).
    void refuse(const QString &message);
    void refuse(const PromptMessage &message);
    bool prompting() const { return m_prompting; }
    // An entry was not stored, whether or not the user was told why.
    void noteRefusal() { ++m_refusals; }
    // Runs a save; a failure is reported and gives false.
    bool guardedSave(const std::function<void()> &save);
    // A failure the user was told of in a message of the model's own: logged only.
    void logFailure(const QString &logText);

    // Rows followed by key. The model shows the rows of the keys it was last given; a re-read
    // that brings other keys removes, inserts and moves rows instead of resetting the model, so
    // the view keeps its current cell, selection, scroll position and open editor on their rows.
    int keyCount() const { return int(m_keys.size()); }
    int rowOfKey(qint64 key) const { return int(m_keys.indexOf(key)); }
    // Within beginResetModel/endResetModel: the rows shown from now on.
    void setKeys(const QList<qint64> &keys) { m_keys = keys; }
    void followKeys(const QList<qint64> &keys);
    // The row of a new entry got its key as it was stored.
    void renameKey(qint64 from, qint64 to);

private:
    QList<qint64> m_keys;
    Prompter &m_prompter;
    QStringList m_captions;
    bool m_prompting = false;
    int m_refusals = 0;
    FailureHandler m_onFailure;
};

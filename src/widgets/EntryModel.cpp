#include "EntryModel.h"

#include "foundation/Database.h"
#include "foundation/Prompter.h"

EntryModel::EntryModel(Prompter &prompter, QObject *parent)
    : QAbstractTableModel(parent), m_prompter(prompter)
{
}

void EntryModel::refuse(const QString &message)
{
    refuse({message, programTitle(), MsgIcon::None, MsgButtons::Ok});
}

void EntryModel::refuse(const PromptMessage &message)
{
    noteRefusal();
    m_prompting = true;
    m_prompter.ask(message);
    m_prompting = false;
}

bool EntryModel::guardedSave(const std::function<void()> &save)
{
    try {
        save();
        return true;
    } catch (const KelvaraError &error) {
        // The database refused a write to a protected date-shift: the user is told why.
        if (error.number() == DbErrors::Protected) {
            refuse(error.description());
            emit protectionMet();
            return false;
        }
        noteRefusal();
        if (m_onFailure)
            m_onFailure(error.numberAndText(), error.detail());
    }
    return false;
}

void EntryModel::logFailure(const QString &logText)
{
    if (m_onFailure && !logText.isEmpty())
        m_onFailure({}, logText);
}

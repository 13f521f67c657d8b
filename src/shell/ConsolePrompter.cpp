#include "ConsolePrompter.h"

#include <QTextStream>
#include <cstdio>

MsgAnswer ConsolePrompter::ask(const PromptMessage &message)
{
    QTextStream err(stderr);
    err << message.title << ": " << QString(message.text).replace('\n', ' ') << '\n';
    switch (message.buttons) {
    case MsgButtons::Ok:
        return MsgAnswer::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::No;
    default:
        return MsgAnswer::Cancel;
    }
}

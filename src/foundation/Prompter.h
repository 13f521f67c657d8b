#pragma once

#include <QString>

#include <optional>

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

struct PromptMessage
{
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    // The button that Enter presses; the first one when not given.
    std::optional<MsgAnswer> defaultAnswer = std::nullopt;
};

// Every message box of the program goes through a Prompter, so that tests can read each text the
// user would see and answer it from a script.
class Prompter
{
public:
    virtual ~Prompter() = default;
    virtual MsgAnswer ask(const PromptMessage &message) = 0;

    void tell(const QString &text, const QString &title, MsgIcon icon = MsgIcon::None)
    {
        ask({text, title, icon, MsgButtons::Ok});
    }
};

// Title of the message boxes that carry no title of their own.
inline QString programTitle()
{
    return QStringLiteral("Kelvara");
}

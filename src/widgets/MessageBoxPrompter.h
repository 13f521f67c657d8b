#pragma once

#include "foundation/Prompter.h"

// The program's Prompter: a modal QMessageBox with the given text, title, icon and buttons.
class MessageBoxPrompter : public Prompter
{
public:
    MsgAnswer ask(const PromptMessage &message) override;
};

#pragma once

#include "foundation/Prompter.h"

// The prompter of the modes that run without windows: every message is written to the error
// stream, and a question gets the answer that changes nothing (No, Cancel), since nobody is there
// to answer it.
class ConsolePrompter : public Prompter
{
public:
    MsgAnswer ask(const PromptMessage &message) override;
};

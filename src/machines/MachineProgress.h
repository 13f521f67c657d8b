#pragma once

#include <QString>
#include <atomic>
#include <functional>

// Runs work on a thread of its own while a progress dialog of `steps` steps, with Cancel, keeps
// the windows painted; work counts its steps in done and stops when cancel is set.
void runWithProgress(const QString &title, const QString &label, int steps,
                     const std::function<void(const std::atomic_bool &cancel, std::atomic_int &done)> &work);

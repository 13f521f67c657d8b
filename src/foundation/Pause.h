#pragma once

// Waits the given number of whole seconds while the user interface goes on processing its
// messages, so that windows repaint and stay responsive during a wait.
void pauseSeconds(int seconds);

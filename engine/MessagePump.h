// The message pump that keeps the wizard alive while the removal runs on its thread.
#pragma once

// Dispatches every message waiting in the thread's queue, without translation; returns
// when the queue is empty or a quit message has been taken.
void PumpMessages();

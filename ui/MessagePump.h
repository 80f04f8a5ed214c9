#pragma once

#include <windows.h>

namespace ui {

// Handles a message before it is dispatched (a modeless window's keyboard navigation);
// true when it was handled and must not be dispatched.
using MessageFilter = bool (*)(MSG& msg);

// Installs the filter every message loop of the program consults; returns the previous one.
MessageFilter SetMessageFilter(MessageFilter filter);

// Passes the message to the filter; true when it was handled there.
bool FilterMessage(MSG& msg);

// Services every pending window message of the thread, as the application's main loop
// would. A WM_QUIT met here is posted again so that the main loop still sees it.
void ProcessMessages();

}  // namespace ui

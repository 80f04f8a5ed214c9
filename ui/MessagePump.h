#pragma once

namespace ui {

// Services every pending window message of the thread, as the application's main loop
// would. A WM_QUIT met here is posted again so that the main loop still sees it.
void ProcessMessages();

}  // namespace ui

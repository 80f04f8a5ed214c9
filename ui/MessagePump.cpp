#include "ui/MessagePump.h"

#include <utility>

namespace ui {

namespace {

MessageFilter g_filter = nullptr;

}  // namespace

MessageFilter SetMessageFilter(MessageFilter filter) { return std::exchange(g_filter, filter); }

bool FilterMessage(MSG& msg) { return g_filter && g_filter(msg); }

void ProcessMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (FilterMessage(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace ui

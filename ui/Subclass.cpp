#include "ui/Subclass.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace ui {

namespace {

struct Link {
    SUBCLASSPROC procedure;
    UINT_PTR id;
    DWORD_PTR data;
    bool removed = false;
};

struct Chain {
    WNDPROC original = nullptr;
    std::vector<Link> links;          // the last installed at the back; it runs first
    std::vector<std::size_t> running;  // per message being handled, the link now running
    bool destroyed = false;            // WM_NCDESTROY came: the chain goes once no message runs
    bool untidy = false;               // links were removed: dropped once no message runs
};

// Windows and their messages belong to one thread, and so does each window's chain.
std::unordered_map<HWND, Chain>& Chains() {
    thread_local std::unordered_map<HWND, Chain> chains;
    return chains;
}

LRESULT CALLBACK ChainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the first link below `below` that is still installed, or the window's own procedure.
LRESULT RunFrom(HWND window, Chain& chain, std::size_t below, UINT message, WPARAM wParam, LPARAM lParam) {
    while (below > 0) {
        const Link link = chain.links[--below];
        if (link.removed) continue;
        chain.running.back() = below;
        return link.procedure(window, message, wParam, lParam, link.id, link.data);
    }
    return ::CallWindowProcW(chain.original, window, message, wParam, lParam);
}

// Drops the removed links once no message runs through them, and gives the window back its
// own procedure when none is left (if nobody subclassed it over the chain meanwhile).
void Tidy(HWND window) {
    auto& chains = Chains();
    const auto found = chains.find(window);
    if (found == chains.end() || !found->second.running.empty()) return;
    Chain& chain = found->second;
    chain.untidy = false;
    chain.links.erase(std::remove_if(chain.links.begin(), chain.links.end(), [](const Link& l) { return l.removed; }),
                      chain.links.end());
    if (!chain.links.empty()) return;
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC)) == ChainProc) {
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(chain.original));
    } else if (::IsWindow(window)) {
        chain.untidy = true;  // another procedure calls ours: the chain stays to pass messages on
        return;
    }
    chains.erase(found);
}

LRESULT CALLBACK ChainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& chains = Chains();
    const auto found = chains.find(window);
    if (found == chains.end()) return ::DefWindowProcW(window, message, wParam, lParam);
    // The chain stays where it is while its window's messages run (only its own end erases it).
    Chain& chain = found->second;
    chain.running.push_back(chain.links.size());
    const LRESULT result = RunFrom(window, chain, chain.links.size(), message, wParam, lParam);
    chain.running.pop_back();
    if (message == WM_NCDESTROY) chain.destroyed = true;
    if (chain.destroyed) {
        if (chain.running.empty()) chains.erase(window);
        return result;
    }
    if (chain.untidy && chain.running.empty()) Tidy(window);
    return result;
}

}  // namespace

bool SetSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    if (!window || !procedure || ::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId()) return false;
    auto& chains = Chains();
    auto found = chains.find(window);
    if (found == chains.end()) {
        const auto original = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
        if (!original) return false;
        found = chains.emplace(window, Chain{}).first;
        found->second.original = original;
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChainProc));
    }
    for (Link& link : found->second.links) {
        if (!link.removed && link.procedure == procedure && link.id == id) {
            link.data = data;
            return true;
        }
    }
    found->second.links.push_back({procedure, id, data});
    return true;
}

bool RemoveSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) {
    auto& chains = Chains();
    const auto found = chains.find(window);
    if (found == chains.end()) return false;
    for (Link& link : found->second.links) {
        if (!link.removed && link.procedure == procedure && link.id == id) {
            link.removed = true;
            found->second.untidy = true;
            Tidy(window);
            return true;
        }
    }
    return false;
}

LRESULT DefSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto& chains = Chains();
    const auto found = chains.find(window);
    if (found == chains.end() || found->second.running.empty()) return ::DefWindowProcW(window, message, wParam, lParam);
    Chain& chain = found->second;
    const std::size_t current = chain.running.back();
    const LRESULT result = RunFrom(window, chain, current, message, wParam, lParam);
    chain.running.back() = current;
    return result;
}

}  // namespace ui

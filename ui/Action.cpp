#include "ui/Action.h"

#include <algorithm>

#include "ui/Subclass.h"

namespace ui {

namespace {

constexpr int kImageSize = 16;
constexpr int kButtonWidth = 23;
constexpr int kButtonHeight = 22;
constexpr int kSeparatorWidth = 6;

bool IsActionCommand(int commandId) {
    return commandId > kFirstActionCommand && commandId <= kLastActionCommand;
}

// Paints the empty part of a tool bar in the bar colour.
LRESULT CALLBACK BarBackground(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    if (message == WM_ERASEBKGND) {
        RECT client{};
        ::GetClientRect(hwnd, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, BarBrush());
        return 1;
    }
    if (message == WM_NCDESTROY) ui::RemoveSubclass(hwnd, BarBackground, id);
    return ui::DefSubclass(hwnd, message, wParam, lParam);
}

}  // namespace

HBRUSH BarBrush() {
    static Brush brush(::CreateSolidBrush(kBarColour));
    return brush.get();
}

std::wstring StripAccelerator(const std::wstring& caption) {
    std::wstring text;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        const wchar_t c = caption[i];
        if (c == L'(' && i + 3 < caption.size() + 0 && caption[i + 1] == L'&' && caption[i + 3] == L')') {
            i += 3;  // "(&A)"
            continue;
        }
        if (c == L'&') {
            if (i + 1 < caption.size() && caption[i + 1] == L'&') {
                text += L'&';
                ++i;
            }
            continue;
        }
        text += c;
    }
    return text;
}

std::wstring MenuItemText(HMENU menu, int commandId) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    if (!::GetMenuItemInfoW(menu, static_cast<UINT>(commandId), FALSE, &info)) return {};
    std::wstring text(info.cch + 1, L'\0');
    info.dwTypeData = text.data();
    info.cch = static_cast<UINT>(text.size());
    if (!::GetMenuItemInfoW(menu, static_cast<UINT>(commandId), FALSE, &info)) return {};
    text.resize(info.cch);
    return text;
}

// ---- Action ----

void Action::SetCaption(const std::wstring& caption) {
    if (caption_ == caption) return;
    caption_ = caption;
    owner_.Update(*this);
}

void Action::SetHint(const std::wstring& hint) {
    if (hint_ == hint) return;
    hint_ = hint;
    owner_.Update(*this);
}

void Action::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    owner_.Update(*this);
}

void Action::SetChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    owner_.Update(*this);
}

bool Action::Execute() {
    if (!enabled_ || !OnExecute) return false;
    OnExecute();
    return true;
}

// ---- ActionList ----

ActionList::~ActionList() = default;

bool ActionList::Add(const std::vector<ActionInfo>& table) {
    bool allAdded = true;
    for (const ActionInfo& row : table) {
        if (row.id <= 0 || row.id > kLastActionCommand - kFirstActionCommand || actions_.count(row.id)) {
            allAdded = false;
            continue;
        }
        actions_[row.id].reset(new Action(*this, row.id, row.caption, row.hint, row.image));
    }
    return allAdded;
}

Action* ActionList::Find(int id) {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second.get();
}

Action& ActionList::operator[](int id) { return *actions_.at(id); }

void ActionList::AppendItems(HMENU menu, const std::vector<BarItem>& items) {
    for (const BarItem& item : items) {
        if (item.action == 0) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const Action* action = Find(item.action);
        if (!action) continue;
        const std::wstring& caption = item.caption.empty() ? action->Caption() : item.caption;
        UINT flags = MF_STRING;
        if (!action->Enabled()) flags |= MF_GRAYED;
        if (action->Checked()) flags |= MF_CHECKED;
        ::AppendMenuW(menu, flags, static_cast<UINT_PTR>(action->CommandId()), caption.c_str());
        menuItems_.push_back({menu, item.action, item.caption});
    }
}

UniqueMenu ActionList::BuildMenuBar(const std::vector<MenuSpec>& menus) {
    UniqueMenu bar(::CreateMenu());
    if (!bar.get()) return bar;
    for (const MenuSpec& spec : menus) {
        HMENU dropDown = ::CreatePopupMenu();
        if (!dropDown) continue;
        AppendItems(dropDown, spec.items);
        ::AppendMenuW(bar.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(dropDown), spec.caption.c_str());
    }
    if (barColours_) {
        MENUINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = MIM_BACKGROUND;
        info.hbrBack = BarBrush();
        ::SetMenuInfo(bar.get(), &info);
    }
    return bar;
}

UniqueMenu ActionList::BuildPopupMenu(const std::vector<BarItem>& items) {
    UniqueMenu menu(::CreatePopupMenu());
    if (menu.get()) AppendItems(menu.get(), items);
    return menu;
}

HWND ActionList::BuildToolBar(HWND parent, int id, const std::vector<BarItem>& items, int x, int y, int width,
                              int height) {
    HWND bar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                     CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                                 x, y, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (!bar) return nullptr;
    ::SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(kImageSize, kImageSize));
    ::SendMessageW(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
    ::SendMessageW(bar, TB_SETMAXTEXTROWS, 0, 0);

    std::vector<TBBUTTON> buttons;
    std::vector<ToolBinding> bound;
    for (const BarItem& item : items) {
        TBBUTTON button{};
        button.iString = -1;
        if (item.action == 0) {
            button.iBitmap = kSeparatorWidth;
            button.fsStyle = BTNS_SEP;
            buttons.push_back(button);
            continue;
        }
        const Action* action = Find(item.action);
        if (!action) continue;
        button.iBitmap = action->ImageIndex() == kNoImage ? I_IMAGENONE : action->ImageIndex();
        button.idCommand = action->CommandId();
        button.fsStyle = BTNS_BUTTON;
        button.fsState = static_cast<BYTE>((action->Enabled() ? TBSTATE_ENABLED : 0) |
                                           (action->Checked() ? TBSTATE_CHECKED : 0));
        buttons.push_back(button);
        bound.push_back({bar, item.action, item.caption});
    }
    ::SendMessageW(bar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    ::SendMessageW(bar, TB_SETBUTTONSIZE, 0, MAKELPARAM(kButtonWidth, kButtonHeight));
    ::SendMessageW(bar, TB_AUTOSIZE, 0, 0);
    ::MoveWindow(bar, x, y, width, height, FALSE);

    toolBars_.push_back(bar);
    for (const ToolBinding& binding : bound) {
        toolButtons_.push_back(binding);
        UpdateToolTip(binding);
    }
    if (barColours_) ui::SetSubclass(bar, BarBackground, 1, 0);
    return bar;
}

void ActionList::BindButton(HWND button, int actionId) {
    const Action* action = Find(actionId);
    if (!button || !action) return;
    buttons_.push_back({button, actionId});
    ::SetWindowTextW(button, action->Caption().c_str());
    ::EnableWindow(button, action->Enabled());
}

const ActionList::ToolBinding* ActionList::FindTool(HWND bar, int commandId) const {
    for (const ToolBinding& binding : toolButtons_)
        if (binding.bar == bar && kFirstActionCommand + binding.action == commandId) return &binding;
    return nullptr;
}

std::wstring ActionList::ShownCaption(HWND toolBar, int commandId) const {
    const ToolBinding* binding = FindTool(toolBar, commandId);
    if (!binding) return {};
    if (!binding->caption.empty()) return binding->caption;
    const auto found = actions_.find(binding->action);
    return found == actions_.end() ? std::wstring() : found->second->Caption();
}

std::wstring ActionList::ToolTipText(HWND toolBar, int commandId) const {
    const ToolBinding* binding = FindTool(toolBar, commandId);
    if (!binding) return {};
    if (!binding->caption.empty()) return StripAccelerator(binding->caption);
    const auto found = actions_.find(binding->action);
    if (found == actions_.end()) return {};
    const Action& action = *found->second;
    return action.Hint().empty() ? StripAccelerator(action.Caption()) : action.Hint();
}

void ActionList::UpdateToolTip(const ToolBinding& binding) {
    HWND tip = reinterpret_cast<HWND>(::SendMessageW(binding.bar, TB_GETTOOLTIPS, 0, 0));
    if (!tip) return;
    const int commandId = kFirstActionCommand + binding.action;
    std::wstring text = ToolTipText(binding.bar, commandId);
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = binding.bar;
    info.uId = static_cast<UINT_PTR>(commandId);
    if (::SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info))) {
        info.lpszText = text.data();
        ::SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
        return;
    }
    const LRESULT index = ::SendMessageW(binding.bar, TB_COMMANDTOINDEX, static_cast<WPARAM>(commandId), 0);
    info = {};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = binding.bar;
    info.uId = static_cast<UINT_PTR>(commandId);
    ::SendMessageW(binding.bar, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info.rect));
    info.lpszText = text.data();
    ::SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void ActionList::Update(const Action& action) {
    // Menus and windows destroyed without Unbind are dropped here.
    std::erase_if(menuItems_, [](const MenuBinding& b) { return !::IsMenu(b.menu); });
    std::erase_if(toolButtons_, [](const ToolBinding& b) { return !::IsWindow(b.bar); });
    std::erase_if(buttons_, [](const ButtonBinding& b) { return !::IsWindow(b.button); });

    const UINT commandId = static_cast<UINT>(action.CommandId());
    for (const MenuBinding& binding : menuItems_) {
        if (binding.action != action.Id()) continue;
        std::wstring caption = binding.caption.empty() ? action.Caption() : binding.caption;
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STRING | MIIM_STATE;
        info.fState = (action.Enabled() ? MFS_ENABLED : MFS_GRAYED) | (action.Checked() ? MFS_CHECKED : 0);
        info.dwTypeData = caption.data();
        ::SetMenuItemInfoW(binding.menu, commandId, FALSE, &info);
    }
    for (const ToolBinding& binding : toolButtons_) {
        if (binding.action != action.Id()) continue;
        ::SendMessageW(binding.bar, TB_ENABLEBUTTON, commandId, MAKELPARAM(action.Enabled() ? TRUE : FALSE, 0));
        ::SendMessageW(binding.bar, TB_CHECKBUTTON, commandId, MAKELPARAM(action.Checked() ? TRUE : FALSE, 0));
        UpdateToolTip(binding);
    }
    for (const ButtonBinding& binding : buttons_) {
        if (binding.action != action.Id()) continue;
        if (WindowText(binding.button) != action.Caption()) ::SetWindowTextW(binding.button, action.Caption().c_str());
        ::EnableWindow(binding.button, action.Enabled());
    }
}

bool ActionList::TrackPopup(HMENU menu, HWND owner, POINT screen) {
    const int chosen = static_cast<int>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                         screen.x, screen.y, 0, owner, nullptr));
    if (!IsActionCommand(chosen)) return false;
    Action* action = Find(chosen - kFirstActionCommand);
    return action && action->Execute();
}

bool ActionList::HandleCommand(WPARAM wParam, LPARAM lParam) {
    const HWND source = reinterpret_cast<HWND>(lParam);
    const int commandId = LOWORD(wParam);
    if (source) {
        for (const ButtonBinding& binding : buttons_) {
            if (binding.button != source) continue;
            if (HIWORD(wParam) == BN_CLICKED) {
                if (Action* action = Find(binding.action)) action->Execute();
            }
            return true;
        }
        if (std::find(toolBars_.begin(), toolBars_.end(), source) == toolBars_.end()) return false;
    }
    if (!IsActionCommand(commandId)) return false;
    Action* action = Find(commandId - kFirstActionCommand);
    if (!action) return false;
    action->Execute();
    return true;
}

bool ActionList::HandleNotify(LPARAM lParam, LRESULT& result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return false;
    if (header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        for (HWND bar : toolBars_) {
            if (reinterpret_cast<HWND>(::SendMessageW(bar, TB_GETTOOLTIPS, 0, 0)) != header->hwndFrom) continue;
            const std::wstring text = ToolTipText(bar, static_cast<int>(header->idFrom));
            if (text.empty()) return false;
            tipText_ = text;
            info->lpszText = tipText_.data();
            info->hinst = nullptr;
            result = 0;
            return true;
        }
        return false;
    }
    if (header->code == NM_CUSTOMDRAW && barColours_ &&
        std::find(toolBars_.begin(), toolBars_.end(), header->hwndFrom) != toolBars_.end()) {
        auto* draw = reinterpret_cast<NMTBCUSTOMDRAW*>(lParam);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
            result = CDRF_NOTIFYITEMDRAW;
            return true;
        }
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            if (draw->nmcd.uItemState & CDIS_HOT) ::FillRect(draw->nmcd.hdc, &draw->nmcd.rc, BarBrush());
            result = CDRF_DODEFAULT;
            return true;
        }
    }
    return false;
}

void ActionList::Unbind(HMENU menu) {
    std::erase_if(menuItems_, [menu](const MenuBinding& b) { return b.menu == menu; });
    // The drop-downs of a menu bar go with it.
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        if (HMENU sub = ::GetSubMenu(menu, i)) Unbind(sub);
}

void ActionList::Unbind(HWND control) {
    std::erase_if(toolButtons_, [control](const ToolBinding& b) { return b.bar == control; });
    std::erase_if(buttons_, [control](const ButtonBinding& b) { return b.button == control; });
    std::erase(toolBars_, control);
}

}  // namespace ui

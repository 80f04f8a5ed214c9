#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/Gdi.h"
#include "ui/Window.h"

namespace ui {

// An action without an image.
constexpr int kNoImage = -1;

// Command identifiers of actions: action N sends WM_COMMAND with kFirstActionCommand + N.
// Forms keep their own control identifiers below this range.
constexpr int kFirstActionCommand = 40000;
constexpr int kLastActionCommand = 40999;

// The colour of highlighted items and of the empty part of the menu bar and tool bars
// (15660791: red F7, green F6, blue EE).
constexpr COLORREF kBarColour = 15660791;

// Owns a menu (a pop-up menu, or a menu bar not yet given to a window) and destroys it.
class UniqueMenu {
public:
    UniqueMenu() noexcept = default;
    explicit UniqueMenu(HMENU menu) noexcept : menu_(menu) {}
    ~UniqueMenu() { reset(); }
    UniqueMenu(const UniqueMenu&) = delete;
    UniqueMenu& operator=(const UniqueMenu&) = delete;
    UniqueMenu(UniqueMenu&& other) noexcept : menu_(std::exchange(other.menu_, nullptr)) {}
    UniqueMenu& operator=(UniqueMenu&& other) noexcept {
        if (this != &other) reset(std::exchange(other.menu_, nullptr));
        return *this;
    }
    HMENU get() const noexcept { return menu_; }
    // Gives the menu up (to a window, which destroys its menu bar with itself).
    HMENU release() noexcept { return std::exchange(menu_, nullptr); }
    void reset(HMENU menu = nullptr) noexcept {
        if (menu_) ::DestroyMenu(menu_);
        menu_ = menu;
    }

private:
    HMENU menu_ = nullptr;
};

class ActionList;

// One command: caption, hint, image, state and the handler run when it executes. Every control
// bound to it follows its caption and state.
class Action {
public:
    int Id() const noexcept { return id_; }
    int CommandId() const noexcept { return kFirstActionCommand + id_; }
    const std::wstring& Caption() const noexcept { return caption_; }
    const std::wstring& Hint() const noexcept { return hint_; }
    int ImageIndex() const noexcept { return image_; }
    bool Enabled() const noexcept { return enabled_; }
    bool Checked() const noexcept { return checked_; }

    void SetCaption(const std::wstring& caption);
    void SetHint(const std::wstring& hint);
    void SetEnabled(bool enabled);
    void SetChecked(bool checked);

    // Runs the handler when the action is enabled and has one; true when it ran.
    bool Execute();

    std::function<void()> OnExecute;

private:
    friend class ActionList;
    Action(ActionList& owner, int id, std::wstring caption, std::wstring hint, int image)
        : owner_(owner), id_(id), caption_(std::move(caption)), hint_(std::move(hint)), image_(image) {}

    ActionList& owner_;
    int id_;
    std::wstring caption_;
    std::wstring hint_;
    int image_;
    bool enabled_ = true;
    bool checked_ = false;
};

// A row of a table an action is made from.
struct ActionInfo {
    ActionInfo(int id, std::wstring caption, std::wstring hint = {}, int image = kNoImage)
        : id(id), caption(std::move(caption)), hint(std::move(hint)), image(image) {}
    int id;  // 1..999
    std::wstring caption;
    std::wstring hint;  // empty: none
    int image;
};

// An entry of a menu or bar table: an action, optionally shown with another caption, or a
// separator (action 0).
struct BarItem {
    BarItem() = default;
    BarItem(int action, std::wstring caption = {}) : action(action), caption(std::move(caption)) {}
    int action = 0;
    std::wstring caption;  // empty: the action's own
};
inline BarItem Separator() { return BarItem{}; }

// A drop-down menu of a menu bar.
struct MenuSpec {
    std::wstring caption;
    std::vector<BarItem> items;
};

// The actions of one window with their image list, and the controls bound to them. The window
// passes WM_COMMAND and WM_NOTIFY to HandleCommand and HandleNotify.
class ActionList {
public:
    ActionList() = default;
    ~ActionList();
    ActionList(const ActionList&) = delete;
    ActionList& operator=(const ActionList&) = delete;

    // Adds the actions of a table; an identifier used twice or out of range gives false and
    // leaves that row out.
    bool Add(const std::vector<ActionInfo>& table);
    Action* Find(int id);
    Action& operator[](int id);  // the action must exist

    // Takes the image list the menus, bars and buttons draw from.
    void SetImages(HIMAGELIST images) { images_.reset(images); }
    HIMAGELIST Images() const noexcept { return images_.get(); }

    // Uses kBarColour for the empty part of the menu bar and tool bars built afterwards and for
    // tool bar buttons under the mouse (off by default).
    void SetBarColours(bool on) noexcept { barColours_ = on; }
    bool BarColours() const noexcept { return barColours_; }

    // Menus and bars from tables, bound to the actions. Unknown action ids are left out.
    UniqueMenu BuildMenuBar(const std::vector<MenuSpec>& menus);
    UniqueMenu BuildPopupMenu(const std::vector<BarItem>& items);
    // An icons-only tool bar of 16 × 16 images at the given place, fixed size.
    HWND BuildToolBar(HWND parent, int id, const std::vector<BarItem>& items, int x, int y, int width, int height);

    // Binds a push button: it takes the action's caption and state, and its click runs it.
    void BindButton(HWND button, int action);

    // The caption of a bound tool bar button (the table's override, or the action's caption);
    // empty when no action is bound there.
    std::wstring ShownCaption(HWND toolBar, int commandId) const;
    // The tool tip of a tool bar button: the table's caption override, else the action's
    // hint, else its caption, without the accelerator marks.
    std::wstring ToolTipText(HWND toolBar, int commandId) const;

    // Shows a pop-up menu at a screen point and runs the chosen action; true when one ran.
    bool TrackPopup(HMENU menu, HWND owner, POINT screen);

    // A command from a bound menu item, tool bar button or push button runs its action; true
    // when the command was one of these (whether or not the action was enabled).
    bool HandleCommand(WPARAM wParam, LPARAM lParam);
    // Tool tips and colours of bound tool bars; true when handled, with the result to return.
    bool HandleNotify(LPARAM lParam, LRESULT& result);

    // Forgets the bindings to a menu or window that is going away.
    void Unbind(HMENU menu);
    void Unbind(HWND control);

private:
    friend class Action;
    struct MenuBinding {
        HMENU menu;
        int action;
        std::wstring caption;
    };
    struct ToolBinding {
        HWND bar;
        int action;
        std::wstring caption;
    };
    struct ButtonBinding {
        HWND button;
        int action;
    };

    void Update(const Action& action);
    void AppendItems(HMENU menu, const std::vector<BarItem>& items);
    void UpdateToolTip(const ToolBinding& binding);
    const ToolBinding* FindTool(HWND bar, int commandId) const;

    std::map<int, std::unique_ptr<Action>> actions_;
    ImageList images_;
    bool barColours_ = false;
    std::vector<MenuBinding> menuItems_;
    std::vector<ToolBinding> toolButtons_;
    std::vector<ButtonBinding> buttons_;
    std::vector<HWND> toolBars_;
    std::wstring tipText_;
};

// The brush of kBarColour; shared, never freed by callers.
HBRUSH BarBrush();

// A caption without its accelerator marks: "(&A)" groups go, a single "&" goes, "&&" stays "&".
std::wstring StripAccelerator(const std::wstring& caption);

// The text of a menu item, by command identifier; empty when there is none.
std::wstring MenuItemText(HMENU menu, int commandId);

}  // namespace ui

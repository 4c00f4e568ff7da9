#pragma once
// Menu builder: a Menu wraps one menu handle and owns its submenu objects.
#include <windows.h>

#include "toolkit/Handles.h"

#include <memory>
#include <string>
#include <vector>

namespace zelko {

class Menu {
public:
    // A new, empty menu bar, destroyed with this object unless Detach was called.
    Menu();
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // Appends a popup under title and returns it (owned by this menu).
    Menu& AddPopup(const std::wstring& title);
    void AddItem(const std::wstring& title, UINT command);
    void AddSeparator();

    HMENU Handle() const { return handle_; }
    // The window now owns the handle (after SetMenu): it destroys the bar and
    // its popups, so this object must not.
    HMENU Detach();

private:
    explicit Menu(HMENU popup); // a popup, owned by its parent's handle

    MenuHandle owned_; // the bar; a popup is owned by its parent's handle
    HMENU handle_;
    std::vector<std::unique_ptr<Menu>> submenus_;
};

} // namespace zelko

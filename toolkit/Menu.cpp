#include "toolkit/Menu.h"

namespace zelko {

Menu::Menu() : owned_(CreateMenu()), handle_(owned_.Get()) {}

Menu::Menu(HMENU popup) : handle_(popup) {}

Menu::~Menu() = default; // destroying the bar destroys its popups too

Menu& Menu::AddPopup(const std::wstring& title) {
    HMENU popup = CreatePopupMenu();
    AppendMenuW(handle_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), title.c_str());
    submenus_.push_back(std::unique_ptr<Menu>(new Menu(popup)));
    return *submenus_.back();
}

void Menu::AddItem(const std::wstring& title, UINT command) { AppendMenuW(handle_, MF_STRING, command, title.c_str()); }

void Menu::AddSeparator() { AppendMenuW(handle_, MF_SEPARATOR, 0, nullptr); }

HMENU Menu::Detach() {
    owned_.Release();
    return handle_;
}

} // namespace zelko

#pragma once
// The modeless Find dialog: an edit box, "Match case" and the list of the
// textures whose names match, searched on every keystroke; activating a row
// goes to that texture in the main window.
#include "container/Find.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace zelko {

class FindDialog {
public:
    using SearchHandler = std::function<std::vector<const FindRecord*>(const std::u16string& pattern, bool matchCase)>;
    using GoToHandler = std::function<void(const FindRecord& record)>;

    // Creates the dialog hidden, owned by `owner`; false when it cannot be created.
    bool Create(HWND owner, SearchHandler search, GoToHandler goTo);
    ~FindDialog();

    // Shows it, empties it first when asked to by Forget, and puts the focus in the edit box.
    void Show();
    // The records are gone: the rows go at once, the typed text on the next Show.
    void Forget();

    HWND window = nullptr;

private:
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Message(UINT message, WPARAM wParam, LPARAM lParam);
    void Search();
    void GoTo(int row);
    void FillList();

    SearchHandler search_;
    GoToHandler goTo_;
    std::vector<const FindRecord*> rows_;
    bool clearOnNextShow_ = false;
};

} // namespace zelko

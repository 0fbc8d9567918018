// The user-interface seam: modal message boxes (and, later, file dialogs).
//
// Everything that would block on the user goes through here. The program shows real Qt dialogs;
// the tests record what would have been shown and answer at once, so a failure path can be run
// without a person pressing OK.
#pragma once

#include <QString>

namespace calvento {

enum class MessageIcon { None, Information, Exclamation, Critical };

class UiServices {
public:
    virtual ~UiServices() = default;

    // A modal message box with an OK button.
    virtual void messageBox(const QString& text, const QString& title, MessageIcon icon) = 0;
};

// Real dialogs, parented to the active window.
UiServices& QtUiServices();

}  // namespace calvento

// The user-interface seam: modal message boxes, yes-or-no questions and the file dialogs.
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

    // The same box without waiting for the OK: for what must be said while a board exchange is
    // under way, whose waits and pauses must not stretch while the user reads.
    virtual void notify(const QString& text, const QString& title, MessageIcon icon) {
        messageBox(text, title, icon);
    }

    // A modal question with Yes and No, No being the default; true for Yes.
    virtual bool question(const QString& text, const QString& title) = 0;

    // A confirmation before an action that cannot be taken back (a transmission): OK is the
    // default, so Enter confirms, and Escape cancels. True for OK.
    virtual bool confirm(const QString& text, const QString& title) {
        return question(text, title);
    }

    // A line of text asked of the user (a name), `initial` filled in; empty when cancelled.
    virtual QString askText(const QString& label, const QString& title, const QString& initial) {
        (void)label;
        (void)title;
        (void)initial;
        return QString();
    }

    // A file dialog showing `folder` first with `proposedName` filled in; `filter` in Qt's form
    // ("Configuration file (*.prg);;All files (*)"). The save dialog asks before replacing an
    // existing file. An empty answer means the user cancelled.
    virtual QString openFileName(const QString& title, const QString& folder,
                                 const QString& proposedName, const QString& filter) = 0;
    virtual QString saveFileName(const QString& title, const QString& folder,
                                 const QString& proposedName, const QString& filter) = 0;

    // Closes every box and file dialog of this service that is open now, as if the user had
    // pressed OK, No or Cancel (a question answers No, a file dialog nothing): the program is
    // being ended from outside and must not wait for anyone. How many were open.
    virtual int dismissOpen() { return 0; }
};

}  // namespace calvento

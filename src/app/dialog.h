// Dialog, the status window of the board exchanges ("Program Parameters").
//
// One label, lblInfo, in which the read and program runs show their progress and outcome, and
// an OK button that the runs hide while they wait and show again at every outcome. The window is
// modeless and owned by the main window; OK and the close box only hide it (a Qt dialog that is
// not deleted on close is only hidden), so it keeps its text for the next use; it goes away with
// the main window. It comes back where it was last seen: Qt centres a dialog on its owner at
// every show unless the program placed it, and the user's own move is not that.
#pragma once

#include <QDialog>

#include <memory>

class QLabel;

namespace Ui {
class Dialog;
}

namespace calvento {

class Dialog : public QDialog {
    Q_OBJECT

public:
    explicit Dialog(QWidget* owner);
    ~Dialog() override;

    // The label's text, which is also its accessible name, so that a screen reader tells the
    // outcome of a run rather than a fixed name.
    void setInfo(const QString& text);

    // The label's text colour: black for normal texts, red after a wrong identification; it
    // stays until changed.
    void setTextColor(const QColor& color);
    QColor textColor() const;

    // The OK button, which the runs hide while they wait.
    void setOkVisible(bool visible);

    void setVisible(bool visible) override;

private:
    std::unique_ptr<Ui::Dialog> m_form;
    Ui::Dialog& ui;
    bool m_shownBefore = false;
    QPoint m_lastPosition;
};

// Sets a status label's text and makes its accessible name follow it (line breaks read as
// spaces); an empty text leaves `emptyName`.
void SetStatusText(QLabel* label, const QString& text, const QString& emptyName);

}  // namespace calvento

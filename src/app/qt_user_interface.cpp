// Real message boxes for the running program.
#include <QApplication>
#include <QMessageBox>

#include "app/user_interface.h"

namespace calvento {

namespace {

class QtUi final : public UiServices {
public:
    void messageBox(const QString& text, const QString& title, MessageIcon icon) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title);
        box.setText(text);
        box.setStandardButtons(QMessageBox::Ok);
        switch (icon) {
            case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
            case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
            case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
            case MessageIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        }
        box.exec();
    }
};

}  // namespace

UiServices& QtUiServices() {
    static QtUi ui;
    return ui;
}

}  // namespace calvento

// Real message boxes for the running program.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
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
            case MessageIcon::None:
                box.setIcon(QMessageBox::NoIcon);
                break;
            case MessageIcon::Information:
                box.setIcon(QMessageBox::Information);
                break;
            case MessageIcon::Exclamation:
                box.setIcon(QMessageBox::Warning);
                break;
            case MessageIcon::Critical:
                box.setIcon(QMessageBox::Critical);
                break;
        }
        box.exec();
    }

    QString openFileName(const QString& title, const QString& folder, const QString& proposedName,
                         const QString& filter) override {
        return QFileDialog::getOpenFileName(QApplication::activeWindow(), title,
                                            QDir(folder).filePath(proposedName), filter);
    }

    QString saveFileName(const QString& title, const QString& folder, const QString& proposedName,
                         const QString& filter) override {
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), title,
                                            QDir(folder).filePath(proposedName), filter);
    }
};

}  // namespace

UiServices& QtUiServices() {
    static QtUi ui;
    return ui;
}

}  // namespace calvento

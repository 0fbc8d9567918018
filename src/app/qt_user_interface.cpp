// Real message boxes for the running program.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

#include "app/qt_user_interface.h"

namespace calvento {

namespace {

class QtUi final : public UiServices {
    // Every box and dialog shown and not yet closed, with the answer it gives when dismissed.
    struct Open {
        QPointer<QDialog> dialog;
        int answer;
    };
    QList<Open> m_open;

    // Runs `dialog` modally while it is known to dismissOpen().
    int exec(QDialog& dialog, int answerWhenDismissed) {
        m_open.append({&dialog, answerWhenDismissed});
        const int result = dialog.exec();
        m_open.removeIf([&](const Open& o) { return o.dialog == &dialog || !o.dialog; });
        return result;
    }

    static void setUp(QMessageBox& box, const QString& text, const QString& title,
                      MessageIcon icon) {
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
    }

public:
    void messageBox(const QString& text, const QString& title, MessageIcon icon) override {
        QMessageBox box(QApplication::activeWindow());
        setUp(box, text, title, icon);
        exec(box, QMessageBox::Ok);
    }

    void notify(const QString& text, const QString& title, MessageIcon icon) override {
        auto* box = new QMessageBox(QApplication::activeWindow());
        box->setAttribute(Qt::WA_DeleteOnClose);
        setUp(*box, text, title, icon);
        m_open.removeIf([](const Open& o) { return !o.dialog; });
        m_open.append({box, QMessageBox::Ok});
        box->open();
    }

    bool question(const QString& text, const QString& title) override {
        QMessageBox box(QApplication::activeWindow());
        setUp(box, text, title, MessageIcon::Exclamation);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        return exec(box, QMessageBox::No) == QMessageBox::Yes;
    }

    bool confirm(const QString& text, const QString& title) override {
        QMessageBox box(QApplication::activeWindow());
        setUp(box, text, title, MessageIcon::Exclamation);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        return exec(box, QMessageBox::Cancel) == QMessageBox::Ok;
    }

    QString askText(const QString& label, const QString& title, const QString& initial) override {
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(title);
        dialog.setLabelText(label);
        dialog.setTextValue(initial);
        return exec(dialog, QDialog::Rejected) == QDialog::Accepted ? dialog.textValue().trimmed()
                                                                    : QString();
    }

    QString openFileName(const QString& title, const QString& folder, const QString& proposedName,
                         const QString& filter) override {
        QFileDialog dialog(QApplication::activeWindow(), title, QDir(folder).filePath(proposedName),
                           filter);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return exec(dialog, QDialog::Rejected) == QDialog::Accepted &&
                       !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    }

    int dismissOpen() override {
        int count = 0;
        for (const Open& o : std::as_const(m_open)) {
            if (!o.dialog || !o.dialog->isVisible()) continue;
            o.dialog->done(o.answer);
            ++count;
        }
        return count;
    }

    QString saveFileName(const QString& title, const QString& folder, const QString& proposedName,
                         const QString& filter) override {
        // The dialog adds the extension of the proposed name to a bare name itself, so that its
        // overwrite question is about the file that will really be written.
        QFileDialog dialog(QApplication::activeWindow(), title, QDir(folder).filePath(proposedName),
                           filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QFileInfo(proposedName).suffix());
        return exec(dialog, QDialog::Rejected) == QDialog::Accepted &&
                       !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    }
};

}  // namespace

UiServices& QtUiServices() {
    static QtUi ui;
    return ui;
}

}  // namespace calvento

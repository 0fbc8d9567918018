// frmIstruzioni, the instructions window: the user manual, an RTF file, opened with F1.
//
// Apri remembers the file and the title and shows the window; every time the window becomes the
// active one it loads the manual again (so it always shows the file as it is now, from the top).
// A missing manual is told in a message and the window goes away. The text view fills the
// window less a small margin whenever it is resized.
#pragma once

#include <QWidget>

#include "ui_frm_istruzioni.h"

namespace calvento {

class UiServices;

class FrmIstruzioni : public QWidget {
    Q_OBJECT

public:
    FrmIstruzioni(UiServices& dialogs, QWidget* parent = nullptr);

    Ui::frmIstruzioni ui;

    void Apri(const QString& NFileIstruzioni, const QString& Titolo = QString());

    // Reloads the manual, or reports it missing and unloads the window.
    void Form_Activate();

    QString fileName() const { return m_file; }

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    static bool FileExists(const QString& path);

    UiServices& m_ui;
    QString m_file;
    bool m_unloading = false;
};

}  // namespace calvento

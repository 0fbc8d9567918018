// frmIstruzioni, the instructions window: the user manual, an RTF file, opened with F1.
//
// Apri remembers the file and the title, loads the manual and shows the window. The manual is
// loaded again whenever the focus comes to the window from another window of the program (so it
// shows the file as it is now, from the top), but not when it comes back from another
// application: a user who looked something up elsewhere finds the manual where they left it.
// Each load reads the file once. A missing manual is told in a message and the window goes away.
// The text view fills the window less a small margin whenever it is resized.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

namespace Ui {
class frmIstruzioni;
}

namespace calvento {

class UiServices;

class FrmIstruzioni : public QWidget {
    Q_OBJECT

public:
    FrmIstruzioni(UiServices& dialogs, QWidget* parent = nullptr);
    ~FrmIstruzioni() override;

    void Apri(const QString& NFileIstruzioni, const QString& Titolo = QString());

    // Reloads the manual, or reports it missing and unloads the window.
    void Form_Activate();

    // The application's focus went to `now` (null: to another application). Connected to the
    // application's focus changes; reloads the manual when the focus comes to this window from
    // another window of the program and the view may have moved since the last load.
    void focusWindowChanged(QWindow* now);

    QString fileName() const { return m_file; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    static bool FileExists(const QString& path);

    std::unique_ptr<Ui::frmIstruzioni> m_form;
    Ui::frmIstruzioni& ui;
    UiServices& m_ui;
    QString m_file;
    bool m_unloading = false;
    QPointer<QWindow> m_lastFocus;  // where the focus was before the last change
    bool m_viewMoved = false;       // the focus has left the window since the last load
};

}  // namespace calvento

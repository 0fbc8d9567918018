// The "Programming" frame's runs with the board: READ and PROGRAM, the status window that shows
// their progress, and the frame's menu (the last backup into the fields, the serial trace).
//
// The exchanges themselves are BoardLink (link/board_link.h) over MSComm1; a READ is the read
// job (session/read_job.h), a PROGRAM the program job (session/program_job.h): the board's
// image into a backup, the fields that will change shown, the write and its verification. This
// class is their view: it locks the controls that could start another run or take the port for
// the run's length, shows the progress in Dialog, asks the program job's questions in boxes,
// tells a failed port and a board left in doubt, and records each run's bytes with SerialTrace
// when the menu says so.
#pragma once

#include <QHash>
#include <QObject>
#include <functional>
#include <memory>

#include "session/program_job.h"

namespace Ui {
class frmTone;
}

class QAction;
class QWidget;

namespace calvento {

class BoardLink;
class Clock;
class ConfigFields;
class Dialog;
class SerialPort;
class SerialTrace;
class UiServices;

class BoardRuns : public QObject {
    Q_OBJECT

public:
    BoardRuns(Ui::frmTone& ui, QWidget& window, SerialPort& port, UiServices& dialogs, Clock& clock,
              ConfigFields& fields);
    ~BoardRuns() override;

    BoardLink& link() { return *m_link; }
    // A run is under way: from the button to its end, backup and questions included.
    bool underWay() const;

    // The status window of the board exchanges, created on first use.
    Dialog& statusWindow();
    bool hasStatusWindow() const { return m_dialog != nullptr; }

    // What must happen before PROGRAM takes the port (push-to-talk yielding it).
    std::function<void()> beforeProgram;

signals:
    // A run has begun (true) or ended (false): what else would take the port waits.
    void runLocked(bool locked);

private:
    class StatusView;

    void cmdRead_Click();
    void cmdSend_Click();
    ProgramHooks programQuestions();
    void lockForRun(bool locked);
    void endRunWithPortFailure(const QString& title, const QString& boardState = QString());

    // The Programming frame's context menu (and its shortcuts).
    void setUpProgrammingMenu();
    void restoreLastBackup();
    void startTrace();
    void stopTrace();

    Ui::frmTone& ui;
    QWidget& m_window;
    SerialPort& MSComm1;
    UiServices& m_ui;
    Clock& m_clock;
    ConfigFields& m_fields;
    std::unique_ptr<StatusView> m_statusView;
    BoardLink* m_link = nullptr;
    bool m_runUnderWay = false;
    QHash<QWidget*, bool> m_enabledBeforeRun;
    QAction* m_restoreBackup = nullptr;
    QAction* m_traceRuns = nullptr;
    std::unique_ptr<SerialTrace> m_trace;
    Dialog* m_dialog = nullptr;
};

}  // namespace calvento

// The Programming frame's runs with the board. See board_runs.h.
#include "app/board_runs.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QSettings>
#include <QSignalBlocker>

#include "app/config_fields.h"
#include "app/dialog.h"
#include "config/config_file.h"
#include "link/board_backup.h"
#include "link/board_link.h"
#include "link/port_names.h"
#include "link/serial_trace.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/serial_port.h"
#include "platform/user_interface.h"
#include "session/app_settings.h"
#include "session/read_job.h"
#include "ui_frm_tone.h"

namespace calvento {

namespace {
const QString kWarning = QStringLiteral("Warning");
}  // namespace

// The exchanges show their progress in the status window.
class BoardRuns::StatusView final : public LinkView {
public:
    explicit StatusView(BoardRuns& runs) : m_runs(runs) {}
    // The status window comes to the front whenever a run shows or changes it: behind the main
    // window (once a field was clicked) a failure would pass for a success.
    void setInfo(const QString& text) override {
        Dialog& d = m_runs.statusWindow();
        d.setInfo(text);
        if (d.isVisible()) d.raise();
    }
    void setInfoRed(bool red) override {
        m_runs.statusWindow().setTextColor(red ? QColor(Qt::red) : QColor(Qt::black));
    }
    void setOkVisible(bool visible) override { m_runs.statusWindow().setOkVisible(visible); }
    void showStatus() override {
        Dialog& d = m_runs.statusWindow();
        d.show();
        d.raise();
        d.activateWindow();
    }
    // A read fills the fields as the board's reply completes.
    void decode(const DecoderImage& image) override {
        m_runs.m_fields.setConfig(DecodeConfig(image));
    }

private:
    BoardRuns& m_runs;
};

BoardRuns::BoardRuns(Ui::frmTone& form, QWidget& window, SerialPort& port, UiServices& dialogs,
                     Clock& clock, ConfigFields& fields)
    : QObject(&window),
      ui(form),
      m_window(window),
      MSComm1(port),
      m_ui(dialogs),
      m_clock(clock),
      m_fields(fields),
      m_statusView(std::make_unique<StatusView>(*this)) {
    m_link = new BoardLink(
        MSComm1, m_clock, *m_statusView, [this] { return ui.txtPrgComm->text(); }, this);
    connect(ui.cmdRead, &QPushButton::clicked, this, &BoardRuns::cmdRead_Click);
    connect(ui.cmdSend, &QPushButton::clicked, this, &BoardRuns::cmdSend_Click);
    setUpProgrammingMenu();
}

BoardRuns::~BoardRuns() = default;

bool BoardRuns::underWay() const {
    return m_runUnderWay || m_link->running();
}

Dialog& BoardRuns::statusWindow() {
    if (!m_dialog) m_dialog = new Dialog(&m_window);
    return *m_dialog;
}

// One run at a time: while a read or a programming run waits, nothing may start another run or
// take the port away from it. The controls get back the states they had.
void BoardRuns::lockForRun(bool locked) {
    m_runUnderWay = locked;
    m_restoreBackup->setEnabled(!locked);
    QWidget* const controls[] = {ui.cmdRead, ui.cmdSend,    ui.chkPrg,    ui.chkPtt,
                                 ui.cmdLoad, ui.txtPrgComm, ui.txtPttCom, ui.cmdRadio};
    if (locked) {
        m_enabledBeforeRun.clear();
        for (QWidget* c : controls) {
            m_enabledBeforeRun.insert(c, c->isEnabled());
            c->setEnabled(false);
        }
    } else {
        for (QWidget* c : controls) c->setEnabled(m_enabledBeforeRun.value(c, c->isEnabled()));
    }
    emit runLocked(locked);
}

// A run whose port failed ends with the failure in a message box, and the controls follow the
// port's real state: a port that is gone leaves the programming link off.
void BoardRuns::endRunWithPortFailure(const QString& title, const QString& boardState) {
    m_ui.messageBox(boardState.isEmpty()
                        ? m_link->portFailure()
                        : m_link->portFailure() + QStringLiteral("\r\n") + boardState,
                    title, MessageIcon::None);
    if (!MSComm1.isOpen() && m_enabledBeforeRun.value(ui.chkPrg, true)) {
        m_enabledBeforeRun[ui.txtPrgComm] = true;
        m_enabledBeforeRun[ui.cmdRead] = false;
        m_enabledBeforeRun[ui.cmdSend] = false;
        const QSignalBlocker quiet(ui.chkPrg);
        ui.chkPrg->setChecked(false);
    }
}

void BoardRuns::cmdRead_Click() {
    if (!MSComm1.isOpen()) return;
    lockForRun(true);
    startTrace();
    if (RunReadJob(*m_link).outcome == BoardLink::Outcome::PortFailed)
        endRunWithPortFailure(QStringLiteral("Calvento"));
    stopTrace();
    lockForRun(false);
}

void BoardRuns::cmdSend_Click() {
    if (beforeProgram) beforeProgram();
    lockForRun(true);
    DecoderImage image{};
    if (m_fields.encode(&image)) {
        m_clock.processEvents();
        const QString portName =
            QStringLiteral("COM%1").arg(LeadingPortNumber(ui.txtPrgComm->text()));
        startTrace();
        const BoardBackups backups(DefaultBackupFolder());
        const ProgramResult r = RunProgramJob(*m_link, image, portName, &backups,
                                              ui.txtPrgComm->text(), programQuestions());
        // A write that began and was not verified leaves the board in doubt: the user is told
        // what it may hold and how to put the backup back.
        const QString state = r.boardState(QStringLiteral("Restore last backup, then PROGRAM,"),
                                           QStringLiteral("READ"));
        if (r.outcome == BoardLink::Outcome::PortFailed)
            endRunWithPortFailure(portName, state);
        else if (!state.isEmpty())
            m_ui.messageBox(state, portName, MessageIcon::Exclamation);
        if (r.end == ProgramResult::End::Declined)
            m_statusView->setInfo(
                QStringLiteral("Nothing was programmed: the board keeps its configuration."));
        stopTrace();
    }
    lockForRun(false);
}

// What PROGRAM asks the user on its way: whether to write without a backup, and the fields that
// will change.
ProgramHooks BoardRuns::programQuestions() {
    const QString title = QStringLiteral("Program the board");
    ProgramHooks hooks;
    hooks.writeWithoutBackup = [this, title](BoardLink::Outcome) {
        return m_ui.question(QStringLiteral("The board's configuration could not be read, so no "
                                            "backup of it was kept.\r\nProgram the board "
                                            "without a backup?"),
                             title);
    };
    hooks.writeWithUnsavedBackup = [this, title](const QString& error) {
        return m_ui.question(QStringLiteral("The backup of the board's configuration could not be "
                                            "saved:\r\n%1\r\nProgram the board without a "
                                            "backup?")
                                 .arg(error),
                             title);
    };
    hooks.confirm = [this, title](const std::vector<FieldChange>& changes, const QString& backup) {
        if (changes.empty()) {
            m_ui.notify(QStringLiteral("The board already holds this configuration: no field "
                                       "changes."),
                        title, MessageIcon::Information);
            return true;
        }
        QStringList lines;
        for (const FieldChange& c : changes) lines << QString::fromLatin1(ChangeLine(c).c_str());
        const QString kept =
            backup.isEmpty()
                ? QString()
                : QStringLiteral("\r\n\r\nThe board's present configuration is kept in ") + backup;
        return m_ui.question(
            QStringLiteral("Programming changes these fields of the board:\r\n\r\n") +
                lines.join(QStringLiteral("\r\n")) + kept +
                QStringLiteral("\r\n\r\nProgram the board?"),
            title);
    };
    return hooks;
}

// ---- the Programming frame's menu ---------------------------------------------------------------

void BoardRuns::setUpProgrammingMenu() {
    m_restoreBackup = new QAction(QStringLiteral("Restore last backup"), this);
    m_restoreBackup->setObjectName(QStringLiteral("actRestoreBackup"));
    m_restoreBackup->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    connect(m_restoreBackup, &QAction::triggered, this, &BoardRuns::restoreLastBackup);

    m_traceRuns = new QAction(QStringLiteral("Trace serial exchanges"), this);
    m_traceRuns->setObjectName(QStringLiteral("actTraceRuns"));
    m_traceRuns->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    m_traceRuns->setCheckable(true);
    m_traceRuns->setChecked(QSettings(ProgramFile(OptionsFileName()), QSettings::IniFormat)
                                .value(QStringLiteral("traceSerialExchanges"), false)
                                .toBool());
    connect(m_traceRuns, &QAction::toggled, this, [](bool on) {
        QSettings(ProgramFile(OptionsFileName()), QSettings::IniFormat)
            .setValue(QStringLiteral("traceSerialExchanges"), on);
    });

    for (QAction* a : {m_restoreBackup, m_traceRuns}) {
        a->setShortcutContext(Qt::WindowShortcut);
        m_window.addAction(a);  // the shortcut, wherever the focus is in the window
        ui.Frame12->addAction(a);
    }
    ui.Frame12->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_trace = std::make_unique<SerialTrace>(m_clock);
}

// The newest backup goes into the fields; writing it to the board stays a PROGRAM of its own.
void BoardRuns::restoreLastBackup() {
    if (m_runUnderWay) return;
    const QString latest = BoardBackups(DefaultBackupFolder()).latest();
    if (latest.isEmpty()) {
        m_ui.messageBox(QStringLiteral("There is no backup in %1 yet: one is kept before every "
                                       "programming run.")
                            .arg(DefaultBackupFolder()),
                        m_restoreBackup->text(), MessageIcon::Information);
        return;
    }
    m_fields.LoadConfigFile(latest);
}

// With tracing on, each run is recorded in traces/ of the program folder, one file a run.
void BoardRuns::startTrace() {
    if (!m_traceRuns->isChecked()) return;
    const QString folder = ProgramFile(QStringLiteral("traces"));
    QString why;
    if (!MakeFolder(folder, &why)) {
        m_ui.notify(QStringLiteral("The serial trace cannot be written: the folder %1 cannot be "
                                   "made: %2")
                        .arg(folder, why),
                    kWarning, MessageIcon::Exclamation);
        return;
    }
    const QString path = QDir::toNativeSeparators(QDir(folder).filePath(
        QStringLiteral("trace-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
        QStringLiteral(".txt")));
    QString error;
    if (!m_trace->open(path, &error)) {
        m_ui.notify(
            QStringLiteral("The serial trace cannot be written to %1\r\n%2").arg(path, error),
            kWarning, MessageIcon::Exclamation);
        return;
    }
    m_link->setTrace(m_trace.get());
}

void BoardRuns::stopTrace() {
    m_link->setTrace(nullptr);
    if (!m_trace->isOpen()) return;
    m_trace->close();
    if (!m_trace->error().isEmpty())
        m_ui.notify(QStringLiteral("The serial trace could not be written whole to %1\r\n%2")
                        .arg(m_trace->path(), m_trace->error()),
                    kWarning, MessageIcon::Exclamation);
}

}  // namespace calvento

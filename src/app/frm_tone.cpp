// The main window's behaviour. See frm_tone.h.
#include "app/frm_tone.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTime>
#include <QTimer>
#include <cstdlib>

#include "app/board_runs.h"
#include "app/classic_layout.h"
#include "app/config_fields.h"
#include "app/console_tab.h"
#include "app/dialog.h"
#include "app/entry_fields.h"
#include "app/frm_istruzioni.h"
#include "app/radio_ports.h"
#include "app/replace_frame.h"
#include "app/site_switch.h"
#include "config/config_file.h"
#include "config/field_text.h"
#include "link/board_link.h"
#include "link/port_names.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/serial_port.h"
#include "platform/user_interface.h"
#include "session/receiver_monitor.h"
#include "session/send_log.h"
#include "tone/audio_output.h"
#include "tone/player.h"
#include "ui_frm_tone.h"

namespace calvento {

namespace {

const QString kVersion =
    QStringLiteral("%1.%2").arg(CALVENTO_VERSION_MAJOR).arg(CALVENTO_VERSION_MINOR);
// The titles of the window's boxes: its own ("Calvento v3"), and the warnings.
const QString kBoxTitle = QStringLiteral("Calvento v%1").arg(CALVENTO_VERSION_MAJOR);
const QString kWarning = QStringLiteral("Warning");

QString fileName(const QString& path) {
    return path.mid(
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
}

}  // namespace

QString ProgramCaption() {
    return QStringLiteral("Calvento v%1 by Kolbex").arg(kVersion);
}

void InstallClassicFontSubstitutes() {
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial Narrow"),
                              QStringLiteral("Liberation Sans Narrow"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    QFont::insertSubstitution(QStringLiteral("Courier"), QStringLiteral("Liberation Mono"));
}

FrmTone::FrmTone(Player& player, SerialPort& port, UiServices& dialogs, Clock& clock,
                 SerialPort* pttPort, QWidget* parent)
    : QWidget(parent),
      m_form(std::make_unique<Ui::frmTone>()),
      ui(*m_form),
      m_player(player),
      MSComm1(port),
      m_ui(dialogs),
      m_clock(clock) {
    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    m_console = new ConsoleTab(ui.SSTab1);
    ui.SSTab1->addTab(m_console, QStringLiteral("Console"));
    ApplyClassicTabs(ui.SSTab1);
    ApplyClassicTabs(ui.SSTabCmd);
    FitCaptions(this);
    setFixedSize(size());
    setWindowTitle(ProgramCaption());
    setSendStatus(QStringLiteral("Calvento v%1 by Kolbex\r\nDTMF decoder companion").arg(kVersion));

    // Timer1 shows the credit text for the first 20 seconds. The board exchanges (and their
    // reply time-out) belong to BoardRuns and its BoardLink.
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(20000);
    connect(m_timer1, &QTimer::timeout, this, &FrmTone::Timer1_Timer);
    m_timer1->start();

    // The key filters first: a field's own reactions then see the filtered text.
    connectEntryFields();

    // "Direct Programming": the configuration, its file, and the runs with the board.
    m_fields = new ConfigFields(ui, m_ui, this);
    connect(m_fields, &ConfigFields::fileShown, this, [this](const QString& path) {
        setWindowTitle(path.isEmpty()
                           ? ProgramCaption()
                           : QStringLiteral("Calvento v%1 - %2").arg(kVersion, fileName(path)));
    });
    m_runs = new BoardRuns(ui, *this, MSComm1, m_ui, m_clock, *m_fields);
    connect(m_runs, &BoardRuns::runLocked, this, [this](bool locked) {
        m_console->setSiteLocked(locked);
        if (!locked) closeIfPending();
    });

    // The ports and the radio: the PTT and Enable boxes, the Radio interface dialog.
    m_radio = new RadioPorts(ui, *this, MSComm1, pttPort ? *pttPort : port, m_player, *m_runs, m_ui,
                             m_clock);
    m_radio->mayOpenDialog = [this] { return !m_sending; };
    connect(m_radio, &RadioPorts::readinessChanged, this, &FrmTone::showReadiness);
    auto* radio = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), this);
    radio->setContext(Qt::WindowShortcut);
    connect(radio, &QShortcut::activated, ui.cmdRadio, &QPushButton::click);

    // "Remote Modify / Send": the calculator's sequence is the one to send.
    m_replace = new ReplaceFrame(ui, *m_fields, m_ui, this);
    connect(m_replace, &ReplaceFrame::sequenceMade, this, [this](const QString& sequence) {
        ui.Text1->setText(sequence);
        Text1_Click();
    });
    connect(ui.cmdTone, &QPushButton::clicked, this, &FrmTone::cmdTone_Click);

    // "Console", and the sites it chooses.
    m_sites = new SiteSwitch(ui, *m_fields, *m_radio, *m_console, m_ui, this);
    m_sites->busy = [this] { return m_sending || m_player.isPlaying() || m_runs->underWay(); };
    connect(m_radio, &RadioPorts::radioRemembered, m_sites, &SiteSwitch::rememberRadio);
    connectConsole();

    // The receiver: the console's monitor, and the Radio dialog's meter, which borrows the input
    // while it is open.
    m_monitor = new ReceiverMonitor(this);
    connect(m_monitor, &ReceiverMonitor::heard, this, &FrmTone::showHeard);
    connect(m_monitor, &ReceiverMonitor::failed, this, [this](const QString& why) {
        m_console->showStatus(QStringLiteral("The monitor stopped: ") + why);
    });
    connect(m_console, &ConsoleTab::monitorToggled, this, [this](bool on) {
        m_monitorWanted = on;
        if (on)
            startMonitor();
        else
            m_monitor->stop();
    });
    connect(m_radio, &RadioPorts::readinessChanged, this, [this] {
        if (m_monitor->isRunning()) startMonitor();  // the device of the site or choice now
    });
    m_radio->borrowInput = [this] {
        m_monitor->stop();
        return m_input;
    };
    m_radio->returnInput = [this] { startMonitor(); };

    // F1 works wherever the focus is and whatever the shift state.
    for (const Qt::KeyboardModifiers mods :
         {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::AltModifier),
          Qt::ShiftModifier | Qt::ControlModifier, Qt::ShiftModifier | Qt::AltModifier,
          Qt::ControlModifier | Qt::AltModifier,
          Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier}) {
        auto* f1 = new QShortcut(QKeySequence(mods | Qt::Key_F1), this);
        f1->setContext(Qt::WindowShortcut);
        connect(f1, &QShortcut::activated, this, [this] { Form_KeyDown(Qt::Key_F1); });
    }

    Form_Load();
}

FrmTone::~FrmTone() = default;

QString FrmTone::settingsFilePath() const {
    return ProgramFile(SettingsFileName());
}

QString FrmTone::configFilePath() const {
    return m_fields->filePath();
}

DecoderConfig FrmTone::config() const {
    return m_fields->config();
}

void FrmTone::setConfig(const DecoderConfig& config) {
    m_fields->setConfig(config);
}

bool FrmTone::EncodeConfig() {
    return m_fields->encode(&m_transmitImage);
}

void FrmTone::DecodeConfig(const DecoderImage& image) {
    m_fields->setConfig(calvento::DecodeConfig(image));
}

void FrmTone::LoadConfigFile(const QString& path) {
    m_fields->LoadConfigFile(path);
}

Dialog& FrmTone::statusWindow() {
    return m_runs->statusWindow();
}

bool FrmTone::hasStatusWindow() const {
    return m_runs->hasStatusWindow();
}

RadioInterfaceDialog* FrmTone::radioInterfaceDialog() const {
    return m_radio->dialog();
}

const std::vector<Site>& FrmTone::sites() const {
    return m_sites->sites();
}

int FrmTone::currentSite() const {
    return m_sites->index();
}

// ---- start-up and close -------------------------------------------------------------------------

void FrmTone::Form_Load() {
    FillToneTable(m_player.toneTable());

    if (!QFileInfo::exists(settingsFilePath())) CopyShippedDefaultConfiguration();
    const AppSettings s = LoadAppSettingsFile(settingsFilePath(), ProgramFolder());

    moveToSavedPosition(s.left, s.top);
    if (s.tab >= 0 && s.tab < ui.SSTab1->count()) ui.SSTab1->setCurrentIndex(s.tab);

    ui.Text1->setText(s.sequence);
    ui.Text2->setText(s.digitMs);
    ui.Text3->setText(s.gapMs);
    ui.Text4->setText(s.pauseMs);
    ui.txtPttCom->setText(s.pttCom);
    ui.txtPrgComm->setText(s.prgComm);
    ui.txtTxd->setText(s.txDelayMs);

    Text1_Click();
    ui.SSTabCmd->setCurrentIndex(0);

    m_radio->applyRadioInterface(LoadRadioInterface(ProgramFile(OptionsFileName())), false);

    if (!s.configFilePath.isEmpty()) LoadConfigFile(s.configFilePath);
    m_sites->load(s);
}

void FrmTone::moveToSavedPosition(int leftTwips, int topTwips) {
    const QPoint pos(leftTwips / kTwipsPerPixel, topTwips / kTwipsPerPixel);
    // A position that would leave the window's title bar off every screen (a monitor since
    // unplugged, a window closed while minimized) puts it at 0, 0, where the user can reach it.
    constexpr int kTitleBarHeight = 24;
    const QRect titleBar(pos, QSize(frameGeometry().width(), kTitleBarHeight));
    bool reachable = false;
    for (const QScreen* screen : QGuiApplication::screens())
        reachable = reachable || screen->availableGeometry().intersects(titleBar);
    move(reachable ? pos : QPoint(0, 0));
}

void FrmTone::closeEvent(QCloseEvent* event) {
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
    emit closed();
}

bool FrmTone::Form_QueryUnload() {
    // A board left with part of its packets holds a broken configuration: a run always ends
    // first. The box does not wait for its OK, so the run keeps its pace.
    if (m_runs->underWay()) {
        m_ui.notify(QStringLiteral("Please wait end of data transfer before closing application."),
                    kBoxTitle, MessageIcon::Information);
        return false;
    }
    if (!m_player.isPlaying()) return true;
    m_ui.messageBox(QStringLiteral("Please wait end of sound before closing application."),
                    kBoxTitle, MessageIcon::Information);
    return false;
}

void FrmTone::closeFromOutside() {
    // No box may hold the end: each is closed as if the user had said OK, No or Cancel, so that
    // a question never writes anything. The handler that showed it then goes on to its end.
    if (m_radio->dialog()) m_radio->dialog()->reject();
    m_endingFromOutside = true;
    m_ui.dismissOpen();
    if (m_runs->underWay() || m_player.isPlaying()) {
        // A board exchange runs to its end; a sequence stops now, which releases push-to-talk.
        // closeIfPending() closes when the action is over.
        m_closePending = true;
        if (m_player.isPlaying()) m_player.requestStop(QString());
        return;
    }
    close();
}

void FrmTone::closeIfPending() {
    if (m_closePending) QTimer::singleShot(0, this, &QWidget::close);
}

void FrmTone::Form_Unload() {
    // Calvento31.ini keeps the Default site, whichever site the window works now; the window's
    // own place, tab and typed sequence go with it.
    AppSettings s = m_sites->classicSettings();
    s.left = pos().x() * kTwipsPerPixel;
    s.top = pos().y() * kTwipsPerPixel;
    s.tab = ui.SSTab1->currentIndex();
    s.sequence = ui.Text1->text();
    QString error;
    if (!SaveAppSettingsFile(settingsFilePath(), s, &error)) {
        // Ending from outside (a shutdown), nothing may wait for an OK.
        const QString text = QStringLiteral("The settings could not be saved to %1\r\n%2")
                                 .arg(settingsFilePath(), error);
        if (m_endingFromOutside)
            m_ui.notify(text, kWarning, MessageIcon::Exclamation);
        else
            m_ui.messageBox(text, kWarning, MessageIcon::Exclamation);
    }
    m_sites->keepFields();
    m_radio->releaseAll();
}

// Text1's releases and clicks, and the command fields' double clicks, come here.
bool FrmTone::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyRelease:
        case QEvent::MouseButtonRelease:
            if (watched == ui.Text1) Text1_Click();  // Text1_KeyUp, Text1_Click
            break;
        case QEvent::MouseButtonDblClick:
            for (int i = 0; i < kCommandCount; ++i)
                if (watched == m_fields->txtMem(i)) txtMem_DblClick(i);
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

FrmIstruzioni* FrmTone::instructionsWindow() const {
    return m_instructions.data();
}

void FrmTone::Form_KeyDown(int keyCode) {
    if (keyCode != Qt::Key_F1) return;
    // A window of its own (owned by the main window only so that it goes when the program
    // ends); it is deleted when closed, and the next F1 makes a new one.
    if (!m_instructions) m_instructions = new FrmIstruzioni(m_ui, this);
    m_instructions->Apri(ManualPath(), QStringLiteral("Calvento v%1").arg(kVersion));
}

// The filters of config/field_text.h on the window's fields; Enter in Text1 sends.
void FrmTone::connectEntryFields() {
    m_entryFields = new EntryFields(this);
    for (QLineEdit* f : {ui.Text2, ui.Text3, ui.Text4, ui.txtTxd, ui.txtPttCom, ui.txtPrgComm,
                         ui.txtMorseSpeed, ui.txtTmr1, ui.txtTmr2})
        m_entryFields->filter(f, &FilterDigitKey);
    m_entryFields->filter(ui.txtBlo, &FilterDecimalKey);
    m_entryFields->filter(ui.txtBhi, &FilterDecimalKey);
    m_entryFields->filter(ui.txtCallID, &FilterCallKey);
    m_entryFields->filter(ui.Text1, &FilterSequenceKey, [this] { cmdTone_Click(); });
    auto copyAllowed = [](int& k) { FilterKeyField(k, true, 0); };
    QLineEdit* const commands[kCommandCount] = {
        ui.txtMem_0,  ui.txtMem_1,  ui.txtMem_2,  ui.txtMem_3,  ui.txtMem_4,  ui.txtMem_5,
        ui.txtMem_6,  ui.txtMem_7,  ui.txtMem_8,  ui.txtMem_9,  ui.txtMem_10, ui.txtMem_11,
        ui.txtMem_12, ui.txtMem_13, ui.txtMem_14, ui.txtMem_15, ui.txtMem_16, ui.txtMem_17};
    for (QLineEdit* f : commands) {
        m_entryFields->filter(f, copyAllowed);
        f->installEventFilter(this);  // double click
    }
    m_entryFields->filter(ui.txtSeqCmd, copyAllowed);
    m_entryFields->filter(ui.txtSeqOri, copyAllowed);
    m_entryFields->filter(ui.txtCrcTag, [](int& k) { FilterKeyField(k, false, 0); });
    m_entryFields->filter(ui.txtSeqNew, [this](int& k) {
        const QString checksum = ui.txtCrcTag->text();
        FilterKeyField(k, true, checksum.isEmpty() ? 0 : checksum.at(0).unicode());
    });
    // txtTmr1 selects on click like its twin txtTmr2 and every other numeric field.
    for (QLineEdit* f :
         {ui.Text2, ui.Text3, ui.Text4, ui.txtTxd, ui.txtPttCom, ui.txtPrgComm, ui.txtCallID,
          ui.txtMorseSpeed, ui.txtTmr1, ui.txtTmr2, ui.txtBlo, ui.txtBhi})
        m_entryFields->selectOnClick(f);
    ui.Text1->installEventFilter(this);  // the counter follows releases and clicks
}

void FrmTone::txtMem_DblClick(int index) {
    const QString command = m_fields->txtMem(index)->text();
    if (command.isEmpty()) return;
    ui.Text1->setText(command);
    Text1_Click();
    ui.SSTab1->setCurrentIndex(1);
    ui.Text1->setFocus();
    ui.Text1->selectAll();
}

// ---- "Send Sequence" frame ----------------------------------------------------------------------

void FrmTone::Text1_Click() {
    ui.Label3->setText(QStringLiteral("Sequence to Send (%1 digits)").arg(ui.Text1->text().size()));
    ui.cmdTone->setEnabled(!ui.Text1->text().isEmpty());
}

void FrmTone::checkSoundCard() {
    if (m_player.SoundCardPresent()) return;
    m_ui.messageBox(NoSoundCardText(), NoSoundCardTitle(), MessageIcon::Critical);
    ui.cmdTone->setEnabled(false);
    showReadiness();
}

void FrmTone::cmdTone_Click() {
    // Enter in Text1 reaches here even while the button is disabled during playback. A second
    // send then would drop push-to-talk in the middle of the first transmission: ignore it.
    if (m_sending || m_player.isPlaying()) return;
    sendSequence(ui.Text1->text(), QString(), QStringLiteral("window"));
    closeIfPending();
}

SendReport FrmTone::sendSequence(const QString& keys, const QString& commandName,
                                 const QString& source, bool listen) {
    // Values outside the send's limits are corrected in the fields, visibly, before the send
    // uses them; an emptied field reads as 0 and is corrected the same way.
    auto number = [](const QLineEdit* field) {
        return TolerantNumber(field->text().toStdString());
    };
    SendSettings asked;
    asked.digitMs = number(ui.Text2);
    asked.gapMs = number(ui.Text3);
    asked.pauseMs = number(ui.Text4);
    asked.txDelayMs = number(ui.txtTxd);
    const SendSettings settings = CorrectedSendSettings(asked);
    auto show = [](QLineEdit* field, double asked, double used) {
        if (used != asked) field->setText(QString::number(used));
    };
    show(ui.Text2, asked.digitMs, settings.digitMs);
    show(ui.Text3, asked.gapMs, settings.gapMs);
    show(ui.Text4, asked.pauseMs, settings.pauseMs);
    show(ui.txtTxd, asked.txDelayMs, settings.txDelayMs);

    m_sending = true;
    m_stopByUser = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setSendStatus(QStringLiteral("Sending Sequence....."));
    ui.cmdTone->setEnabled(false);
    m_clock.processEvents();

    // A console send listens for the board's reply once push-to-talk is down: the input is
    // opened first (the monitor lets go of it meanwhile), so no time is lost after the release.
    const RadioInterface& radio = m_radio->radio();
    const bool monitoring = m_monitor->isRunning();
    m_monitor->stop();
    std::optional<Listener> listener;
    m_lastReply.reset();
    m_replyProblem.clear();
    if (listen && m_input && radio.listenSeconds > 0) {
        std::string why;
        listener.emplace(*m_input, m_clock);
        if (!listener->open(radio.inputDeviceId.toStdString(), &why)) {
            m_replyProblem = QString::fromStdString(why);
            listener.reset();
        }
    }
    ReplyCheck check;
    check.request.seconds = radio.listenSeconds;
    check.retries = radio.replyRetries;
    const DecoderConfig board = m_fields->config();
    if (board.cwEnabled) check.request.expectCall = board.cwCall;
    check.request.wpm = std::atof(board.morseSpeed.c_str());

    // Push-to-talk comes down 40 ms after the last sample, also while a box of another handler
    // holds the window, and before any failure is told; a guard drops it when the sound system
    // stalls.
    KeyedSendOptions options;
    options.stillKeying = [this] { return ui.chkPtt->isChecked(); };
    options.tailAfterStop = [this] { return m_stopByUser; };
    PushToTalk* const ptt = m_radio->pushToTalk();
    SendReport report;
    int attempt = 0;
    auto sendOnce = [&] {
        if (attempt++ > 0)
            m_console->showStatus(QStringLiteral("No reply heard: sending again (%1 of %2)...")
                                      .arg(attempt - 1)
                                      .arg(check.retries));
        ui.cmdRadio->setEnabled(false);
        report =
            RunSendJob(m_player, m_clock, ptt, keys.toLatin1().toStdString(), settings, options);
        ui.cmdRadio->setEnabled(true);
        if (report.outcome == SendOutcome::Completed && listener)
            m_console->showStatus(QStringLiteral("Listening for the reply..."));
        return report;
    };
    auto attemptEnded = [&](const SendReport& sent, const ListenResult* reply) {
        logSend(sent, keys, commandName, source, reply);
    };
    ListenHooks hooks;
    hooks.heard = [this](const DecodedItem& item) { showHeard(item); };
    hooks.stopRequested = [this] { return m_stopByUser || m_endingFromOutside; };
    m_lastReply =
        RunConfirmedSend(listener ? &*listener : nullptr, check, sendOnce, attemptEnded, hooks);
    listener.reset();
    if (monitoring) startMonitor();
    if (!report.sent.play.failure.isEmpty())
        m_ui.messageBox(report.sent.play.failure, QStringLiteral(" SuonaSequenza"),
                        MessageIcon::Critical);

    QApplication::restoreOverrideCursor();
    ui.cmdTone->setEnabled(true);
    if (!m_timer1->isActive()) m_timer1->start();
    m_sending = false;
    tellSendOutcome(report);
    return report;
}

// A send that failed, or whose transmitter was not keyed, did not go over the air as asked: the
// status says so instead of "Sequence completed.", and a message tells why. A failed send shows
// no effective time, which would be that of an earlier one.
void FrmTone::tellSendOutcome(const SendReport& report) {
    const KeyedSendResult& sent = report.sent;
    if (!sent.play.played) {
        setSendStatus(QStringLiteral("Sequence NOT completed!"));
    } else {
        // A remembered device that has gone: the tones went to the default one instead.
        const QString first =
            report.outcome == SendOutcome::NotReleased    ? QStringLiteral("PTT NOT released!")
            : report.outcome == SendOutcome::KeyingFailed ? QStringLiteral("PTT NOT keyed!")
            : report.onDefaultDevice                      ? QStringLiteral("On the default device!")
                                                          : QStringLiteral("Sequence completed.");
        setSendStatus(first + QStringLiteral("\r\nEffective time = ") +
                      EffectiveTimeText(sent.play.effectiveTimeMs));
    }
    if (!sent.keyed) {
        // Named as the chosen method keys: a line of PTT Comm, or Hamlib.
        const RadioInterface& radio = m_radio->radio();
        const QString how =
            !radio.usesSerialLine()
                ? QStringLiteral("Hamlib could not key the rig.")
                : QStringLiteral("the %1 line of PTT Comm %2 could not be %3.")
                      .arg(ModemLineName(radio.line()), ui.txtPttCom->text(),
                           radio.inverted() ? QStringLiteral("dropped") : QStringLiteral("raised"));
        m_radio->setProblem(sent.keyingError);
        m_ui.messageBox(
            QStringLiteral("The transmitter was not keyed: %1\r\n%2").arg(how, sent.keyingError),
            kWarning, MessageIcon::Exclamation);
    }
    if (!sent.released) {
        m_radio->setProblem(QStringLiteral("the transmitter may still be keyed: ") +
                            sent.releaseError);
        m_ui.messageBox(QStringLiteral("The transmitter may still be keyed: ") + sent.releaseError,
                        kWarning, MessageIcon::Critical);
    }
}

// Every send goes into the send log when it has ended; a log that cannot be written is told
// without holding the window, and the send's own status stands.
void FrmTone::logSend(const SendReport& report, const QString& keys, const QString& commandName,
                      const QString& source, const ListenResult* reply) {
    SendLogEntry entry = SendLogEntryOf(report, 0, m_stopByUser);
    entry.site = m_sites->current().name;
    entry.source = source;
    entry.commandName = commandName;
    entry.sequence = keys;
    if (PushToTalk* ptt = m_radio->pushToTalk()) entry.pttMethod = ptt->name();
    entry.soundDevice = m_radio->radio().deviceDescription;
    if (reply) entry.reply = ReplyText(*reply);
    QString why;
    if (!SendLog(SendLog::DefaultPath()).append(entry, &why)) {
        m_console->showStatus(QStringLiteral("The send log could not be written."));
        m_ui.notify(QStringLiteral("The send log could not be written:\r\n") + why, kWarning,
                    MessageIcon::Exclamation);
    }
}

void FrmTone::setSendStatus(const QString& text) {
    SetStatusText(ui.lblInfoSend, text, QStringLiteral("Send status"));
}

void FrmTone::Timer1_Timer() {
    m_timer1->stop();
    setSendStatus(QString());
}

// ---- "Console" tab ------------------------------------------------------------------------------

void FrmTone::connectConsole() {
    connect(m_console, &ConsoleTab::sendRequested, this, &FrmTone::console_Send);
    connect(m_console, &ConsoleTab::stopRequested, this, &FrmTone::console_Stop);
    connect(m_console, &ConsoleTab::siteChosen, this, [this](int i) { m_sites->switchTo(i); });
    connect(m_console, &ConsoleTab::newSiteRequested, m_sites, &SiteSwitch::newSite);
    connect(m_console, &ConsoleTab::removeSiteRequested, m_sites, &SiteSwitch::removeSite);
    connect(m_sites, &SiteSwitch::siteChanged, this, &FrmTone::refreshConsole);
    // The console's PTT box is the send frame's: one transmitter, one switch.
    connect(m_console, &ConsoleTab::pttToggled, ui.chkPtt, &QCheckBox::setChecked);
    connect(ui.chkPtt, &QCheckBox::toggled, m_console, &ConsoleTab::showPtt);
    connect(m_console, &ConsoleTab::confirmToggled, m_sites, &SiteSwitch::setConfirm);
    connect(m_console, &ConsoleTab::userSequencesEdited, this,
            [this] { m_sites->setUserSequences(m_console->userSequences()); });
    // The buttons follow the configuration as the Programming tab holds it when the console is
    // shown, and after a file was loaded or saved.
    connect(ui.SSTab1, &QTabWidget::currentChanged, this, [this] {
        if (ui.SSTab1->currentWidget() == m_console) m_console->showCommands(m_fields->config());
    });
    connect(m_fields, &ConfigFields::fileShown, this,
            [this] { m_console->showCommands(m_fields->config()); });
}

// A command, a user sequence or a line of the log to send: asked first when the site wants it
// (Enter sends, Escape cancels), never while another send or a board run is under way.
void FrmTone::console_Send(const QString& commandName, const QString& sequence) {
    if (m_sending || m_player.isPlaying() || m_runs->underWay()) return;
    const std::string keys = sequence.toLatin1().toStdString();
    if (keys.empty() || keys.find_first_not_of("0123456789*#ABCD") != std::string::npos) {
        m_console->showStatus(
            QStringLiteral("Not sent: \"%1\" is not a DTMF sequence.").arg(sequence));
        return;
    }
    const Site& site = m_sites->current();
    const QString what =
        commandName.isEmpty() ? sequence : QStringLiteral("%1 (%2)").arg(commandName, sequence);
    if (site.confirm && !m_ui.confirm(QStringLiteral("Send %1 to site %2?").arg(what, site.name),
                                      QStringLiteral("Send"))) {
        m_console->showStatus(QStringLiteral("Not sent: %1").arg(what));
        return;
    }
    m_console->setSending(true);
    m_console->showStatus(QStringLiteral("Sending %1...").arg(what));
    const SendReport r = sendSequence(sequence, commandName, QStringLiteral("console"), true);
    m_console->setSending(false);
    const QString outcome = SendOutcomeText(r, 0, m_stopByUser);
    QString status = r.outcome == SendOutcome::Completed
                         ? QStringLiteral("%1: completed in %2")
                               .arg(what, EffectiveTimeText(r.sent.play.effectiveTimeMs))
                         : QStringLiteral("%1: %2").arg(what, outcome);
    // What the board answered (or why it could not be heard).
    const QString stop =
        status.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ");
    if (m_lastReply)
        status += stop + ListenOutcomeText(*m_lastReply);
    else if (!m_replyProblem.isEmpty())
        status += stop + QStringLiteral("Not listening for the reply: ") + m_replyProblem;
    m_console->showStatus(status);
    showSiteLog();
    closeIfPending();
}

// What the receiver heard, with the local time it was told.
void FrmTone::showHeard(const DecodedItem& item) {
    m_console->showHeard(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), item);
}

void FrmTone::setAudioInput(AudioInput* input) {
    m_input = input;
}

void FrmTone::startMonitor() {
    m_monitor->stop();
    if (!m_monitorWanted || m_sending) return;
    QString why;
    if (!m_input)
        why = QStringLiteral("this program has no sound input");
    else if (!m_monitor->start(*m_input, m_radio->radio().inputDeviceId, true, &why))
        why = QStringLiteral("the monitor cannot start: ") + why;
    if (!why.isEmpty()) {
        m_console->showStatus(QStringLiteral("Not monitoring: ") + why);
        m_console->showMonitor(false);
        m_monitorWanted = false;
    }
}

// Stop (and Escape) end a console send at once: the sound stops and push-to-talk drops after the
// tail, as at the end of a sequence.
void FrmTone::console_Stop() {
    if (!m_sending) return;
    m_stopByUser = true;
    m_player.requestStop(QString());
}

void FrmTone::refreshConsole() {
    QStringList names;
    for (const Site& s : m_sites->sites()) names << s.name;
    const Site& site = m_sites->current();
    m_console->showSites(names, m_sites->index());
    m_console->showCommands(m_fields->config());
    m_console->showUserSequences(site.userSequences);
    m_console->showConfirm(site.confirm);
    m_console->showPtt(ui.chkPtt->isChecked());
    showReadiness();
    showSiteLog();
}

// The site's radio interface as it stands: how push-to-talk keys, on which port or rig, and the
// sound device; "not ready" with the reason when the transmitter cannot be keyed or nothing
// can sound.
void FrmTone::showReadiness() {
    if (!m_console) return;
    QString text = m_radio->description();
    bool ready = true;
    if (!m_radio->problem().isEmpty()) {
        text += QStringLiteral("\nPTT: ") + m_radio->problem();
        ready = false;
    }
    if (!m_player.SoundCardPresent()) {
        text += QStringLiteral("\n") + NoSoundCardText();
        ready = false;
    }
    m_console->showRadio(text, ready);
}

void FrmTone::showSiteLog() {
    std::vector<QStringList> records, mine;
    QString why;
    if (QFileInfo::exists(SendLog::DefaultPath()) &&
        !SendLog::read(SendLog::DefaultPath(), &records, &why))
        m_console->showStatus(QStringLiteral("The send log cannot be read: ") + why);
    const QString site = m_sites->current().name;
    for (QStringList& r : records)
        if (r.value(2) == site) mine.push_back(std::move(r));
    m_console->showLog(mine);
}

}  // namespace calvento

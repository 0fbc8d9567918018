// The main window's behaviour. See frm_tone.h.
#include "app/frm_tone.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <cmath>

#include "app/classic_layout.h"
#include "app/dialog.h"
#include "app/frm_istruzioni.h"
#include "config/config_file.h"
#include "config/field_text.h"
#include "link/board_backup.h"
#include "link/port_names.h"
#include "link/serial_trace.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/serial_port.h"
#include "platform/user_interface.h"
#include "remote/replace_calculator.h"
#include "session/app_settings.h"
#include "session/program_job.h"
#include "session/send_job.h"
#include "session/send_log.h"
#include "session/sites.h"
#include "tone/audio_output.h"
#include "tone/keyed_send.h"
#include "tone/player.h"
#include "ui_frm_tone.h"

namespace calvento {

namespace {

const QString kVersion =
    QStringLiteral("%1.%2").arg(CALVENTO_VERSION_MAJOR).arg(CALVENTO_VERSION_MINOR);
// The titles of the window's boxes: its own ("Calvento v3"), and the warnings.
const QString kBoxTitle = QStringLiteral("Calvento v%1").arg(CALVENTO_VERSION_MAJOR);
const QString kWarning = QStringLiteral("Warning");

}  // namespace

// The exchanges show their progress in the status window.
class FrmTone::StatusView final : public LinkView {
public:
    explicit StatusView(FrmTone& w) : m_w(w) {}
    // The status window comes to the front whenever a run shows or changes it: behind the main
    // window (once a field was clicked) a failure would pass for a success.
    void setInfo(const QString& text) override {
        Dialog& d = m_w.statusWindow();
        d.setInfo(text);
        if (d.isVisible()) d.raise();
    }
    void setInfoRed(bool red) override {
        m_w.statusWindow().setTextColor(red ? QColor(Qt::red) : QColor(Qt::black));
    }
    void setOkVisible(bool visible) override { m_w.statusWindow().setOkVisible(visible); }
    void showStatus() override {
        Dialog& d = m_w.statusWindow();
        d.show();
        d.raise();
        d.activateWindow();
    }
    void decode(const DecoderImage& image) override {
        m_w.setConfig(calvento::DecodeConfig(image));
    }

private:
    FrmTone& m_w;
};

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
      m_pttPort(pttPort ? *pttPort : port),
      m_serialPtt(m_pttPort),
      m_ui(dialogs),
      m_clock(clock) {
    ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    ApplyClassicTabs(ui.SSTab1);
    ApplyClassicTabs(ui.SSTabCmd);
    FitCaptions(this);
    setFixedSize(size());
    setWindowTitle(ProgramCaption());
    setSendStatus(QStringLiteral("Calvento v%1 by Kolbex\r\nDTMF decoder companion").arg(kVersion));

    // Timer1 shows the credit text for the first 20 seconds. The board exchanges (and their
    // reply time-out, tmrTimeOut) belong to BoardLink, which shows its progress through
    // StatusView in the status window.
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(20000);
    connect(m_timer1, &QTimer::timeout, this, &FrmTone::Timer1_Timer);
    m_timer1->start();
    m_statusView = std::make_unique<StatusView>(*this);
    m_link = new BoardLink(
        MSComm1, m_clock, *m_statusView, [this] { return ui.txtPrgComm->text(); }, this);

    connectEntryFields();
    setUpProgrammingMenu();
    connect(ui.cmdTone, &QPushButton::clicked, this, &FrmTone::cmdTone_Click);
    connect(ui.chkPtt, &QCheckBox::toggled, this, &FrmTone::chkPtt_Click);
    connect(ui.chkPrg, &QCheckBox::toggled, this, &FrmTone::chkPrg_Click);
    connect(ui.cmdRead, &QPushButton::clicked, this, &FrmTone::cmdRead_Click);
    connect(ui.cmdRadio, &QPushButton::clicked, this, &FrmTone::cmdRadio_Click);
    auto* radio = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), this);
    radio->setContext(Qt::WindowShortcut);
    connect(radio, &QShortcut::activated, this, &FrmTone::cmdRadio_Click);
    connect(ui.cmdSend, &QPushButton::clicked, this, &FrmTone::cmdSend_Click);

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

    applyRadioInterface(LoadRadioInterface(ProgramFile(OptionsFileName())), false);

    if (!s.configFilePath.isEmpty()) LoadConfigFile(s.configFilePath);
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
    if (m_runUnderWay || m_link->running()) {
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
    if (m_radioDialog) m_radioDialog->reject();
    m_endingFromOutside = true;
    m_ui.dismissOpen();
    if (m_runUnderWay || m_link->running() || m_player.isPlaying()) {
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
    AppSettings s;
    s.configFilePath = m_configFilePath;
    s.left = pos().x() * kTwipsPerPixel;
    s.top = pos().y() * kTwipsPerPixel;
    s.tab = ui.SSTab1->currentIndex();
    s.sequence = ui.Text1->text();
    s.digitMs = ui.Text2->text();
    s.gapMs = ui.Text3->text();
    s.pauseMs = ui.Text4->text();
    s.pttCom = ui.txtPttCom->text();
    s.prgComm = ui.txtPrgComm->text();
    s.txDelayMs = ui.txtTxd->text();
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

    // The board is told the link ends; a push-to-talk port drops RTS before it closes, since
    // whether the line falls at the close depends on the device's hang-up setting.
    if (ui.chkPtt->isChecked()) releasePushToTalk();
    if (MSComm1.isOpen()) {
        if (ui.chkPrg->isChecked()) m_link->signOff();
        MSComm1.close();
    }
}

// The entry fields' keys, releases and clicks come here before the fields see them.
bool FrmTone::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            if (m_keyFilters.contains(watched) &&
                filterKey(static_cast<QLineEdit*>(watched), static_cast<QKeyEvent*>(event)))
                return true;
            break;
        case QEvent::KeyRelease:
            if (watched == ui.Text1) Text1_Click();  // Text1_KeyUp
            break;
        case QEvent::MouseButtonDblClick:
            for (int i = 0; i < kCommandCount; ++i)
                if (watched == txtMem(i)) txtMem_DblClick(i);
            break;
        case QEvent::MouseButtonRelease:
            if (watched == ui.Text1) Text1_Click();
            if (m_selectOnClick.contains(watched)) {
                // After the field has placed its cursor for the click, select its whole text so
                // that the next key replaces it.
                auto* field = static_cast<QLineEdit*>(watched);
                QTimer::singleShot(0, field, [field] { field->selectAll(); });
            }
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

// ---- entry fields ------------------------------------------------------------------------------

namespace {

// The code a key press would have had as a typed character, or -1 for keys that type nothing
// (arrows, Home, Delete, function keys, Tab), which no filter looks at.
int characterCode(const QKeyEvent* e) {
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (e->key() == Qt::Key_Backspace) return kKeyBackspace;
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return kKeyEnter;
    if (e->key() == Qt::Key_Escape) return 27;
    if (mods == Qt::ControlModifier && e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
        return e->key() - Qt::Key_A + 1;
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return -1;
    const QString text = e->text();
    if (text.size() != 1) return -1;
    const int code = text.at(0).unicode();
    return code >= 32 && code != 127 ? code : -1;
}

}  // namespace

// Every user edit of a filtered field passes here before the field takes it: keys with Alt or
// Meta, Shift+Insert, a mouse paste, a drop and an input method included, which the key filters
// never see. The field's length limit lives here too and limits only what is typed or pasted;
// the field's own maxLength would cut values that the program sets (from a file, a board, the
// settings file), and PROGRAM would then write the cut value to the board.
//
// It acts on textEdited, which only the user's edits raise: a text set by the program passes
// untouched. The field's previous text is kept from every change, so that the edit is known.
class FrmTone::EditFilter final : public QObject {
public:
    EditFilter(QLineEdit* field, std::function<void(int&)> keyFilter)
        : QObject(field),
          m_field(field),
          m_keyFilter(std::move(keyFilter)),
          m_maxLength(field->maxLength()),
          m_before(field->text()) {
        field->setMaxLength(32767);  // Qt's own "no limit"
        connect(field, &QLineEdit::textEdited, this, &EditFilter::edited);
        connect(field, &QLineEdit::textChanged, this, [this] { m_before = m_field->text(); });
    }

private:
    void edited() {
        const QString after = m_field->text();
        const FieldEdit edit = FilterFieldEdit(m_before.toStdU16String(), after.toStdU16String(),
                                               m_field->cursorPosition(), m_maxLength, m_keyFilter);
        const QString text = QString::fromStdU16String(edit.text);
        if (text == after) return;
        m_field->setText(text);
        m_field->setCursorPosition(edit.cursor);
    }

    QLineEdit* m_field;
    std::function<void(int&)> m_keyFilter;
    int m_maxLength;
    QString m_before;
};

void FrmTone::connectEntryFields() {
    for (QLineEdit* f : {ui.Text2, ui.Text3, ui.Text4, ui.txtTxd, ui.txtPttCom, ui.txtPrgComm,
                         ui.txtMorseSpeed, ui.txtTmr1, ui.txtTmr2})
        m_keyFilters.insert(f, &FilterDigitKey);
    m_keyFilters.insert(ui.txtBlo, &FilterDecimalKey);
    m_keyFilters.insert(ui.txtBhi, &FilterDecimalKey);
    m_keyFilters.insert(ui.txtCallID, &FilterCallKey);
    m_keyFilters.insert(ui.Text1, &FilterSequenceKey);
    auto copyAllowed = [](int& k) { FilterKeyField(k, true, 0); };
    for (int i = 0; i < kCommandCount; ++i) m_keyFilters.insert(txtMem(i), copyAllowed);
    m_keyFilters.insert(ui.txtSeqCmd, copyAllowed);
    m_keyFilters.insert(ui.txtSeqOri, copyAllowed);
    m_keyFilters.insert(ui.txtCrcTag, [](int& k) { FilterKeyField(k, false, 0); });
    m_keyFilters.insert(ui.txtSeqNew, [this](int& k) {
        const QString checksum = ui.txtCrcTag->text();
        FilterKeyField(k, true, checksum.isEmpty() ? 0 : checksum.at(0).unicode());
    });

    for (auto it = m_keyFilters.cbegin(); it != m_keyFilters.cend(); ++it)
        new EditFilter(static_cast<QLineEdit*>(it.key()), it.value());

    connect(ui.txtSeqCmd, &QLineEdit::textChanged, this, &FrmTone::txtSeqCmd_Change);
    connect(ui.txtCrcTag, &QLineEdit::textChanged, this, [this] { txtCrcTag_Change(false); });
    // The check against the commands runs for keys the user types: a file or a board's image
    // sets the key before the commands, which would compare it with the previous ones.
    connect(ui.txtCrcTag, &QLineEdit::textEdited, this, [this] { txtCrcTag_Change(true); });
    connect(ui.txtSeqOri, &QLineEdit::textChanged, this, &FrmTone::txtSeqOri_Change);
    connect(ui.txtSeqNew, &QLineEdit::textChanged, this, &FrmTone::txtSeqNew_Change);
    connect(ui.cmdSeqCalc, &QPushButton::clicked, this, &FrmTone::cmdSeqCalc_Click);
    connect(ui.cmdSave, &QPushButton::clicked, this, &FrmTone::cmdSave_Click);
    connect(ui.cmdLoad, &QPushButton::clicked, this, &FrmTone::cmdLoad_Click);

    // txtTmr1 selects on click like its twin txtTmr2 and every other numeric field.
    for (QLineEdit* f :
         {ui.Text2, ui.Text3, ui.Text4, ui.txtTxd, ui.txtPttCom, ui.txtPrgComm, ui.txtCallID,
          ui.txtMorseSpeed, ui.txtTmr1, ui.txtTmr2, ui.txtBlo, ui.txtBhi})
        m_selectOnClick << f;

    for (QObject* f : m_keyFilters.keys()) f->installEventFilter(this);
    for (QObject* f : m_selectOnClick)
        if (!m_keyFilters.contains(f)) f->installEventFilter(this);

    QPushButton* outputs[] = {ui.chkOutput_0, ui.chkOutput_1, ui.chkOutput_2, ui.chkOutput_3};
    for (int i = 0; i < 4; ++i)
        connect(outputs[i], &QPushButton::toggled, this, [this, i] { chkOutput_Click(i); });
}

// Returns true when the key was consumed here (discarded, or typed as its changed code).
bool FrmTone::filterKey(QLineEdit* field, QKeyEvent* event) {
    const int typed = characterCode(event);
    if (typed < 0) return false;
    int code = typed;
    m_keyFilters.value(field)(code);
    if (field == ui.Text1 && typed == kKeyEnter) {
        cmdTone_Click();
        return true;
    }
    if (code == 0) return true;
    if (code != typed) {
        field->insert(QString(QChar(code)));
        return true;
    }
    return false;
}

void FrmTone::chkOutput_Click(int index) {
    QPushButton* outputs[] = {ui.chkOutput_0, ui.chkOutput_1, ui.chkOutput_2, ui.chkOutput_3};
    outputs[index]->setText(
        QStringLiteral("Output %1 %2")
            .arg(index + 1)
            .arg(outputs[index]->isChecked() ? QStringLiteral("ON") : QStringLiteral("OFF")));
}

// ---- "Configuration" frame and the configuration fields ----------------------------------------

namespace {

const QString kConfigFilter = QStringLiteral("Configuration file (*.prg);;All files (*)");

std::string latin1(const QString& text) {
    return text.toLatin1().toStdString();
}
QString fromLatin1(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

QLineEdit* FrmTone::txtMem(int index) const {
    QLineEdit* const fields[kCommandCount] = {
        ui.txtMem_0,  ui.txtMem_1,  ui.txtMem_2,  ui.txtMem_3,  ui.txtMem_4,  ui.txtMem_5,
        ui.txtMem_6,  ui.txtMem_7,  ui.txtMem_8,  ui.txtMem_9,  ui.txtMem_10, ui.txtMem_11,
        ui.txtMem_12, ui.txtMem_13, ui.txtMem_14, ui.txtMem_15, ui.txtMem_16, ui.txtMem_17};
    return fields[index];
}

// The control of each field of the configuration, in the order of ConfigField: toggle buttons
// for the outputs, check boxes for the switches, line edits for the rest.
QWidget* FrmTone::fieldWidget(ConfigField field) const {
    const int i = static_cast<int>(field);
    if (field >= ConfigField::Command0 && field < ConfigField::PrgPort)
        return txtMem(i - static_cast<int>(ConfigField::Command0));
    QWidget* const fixed[] = {ui.chkOutput_0, ui.chkOutput_1, ui.chkOutput_2, ui.chkOutput_3,
                              ui.txtSeqCmd,   ui.txtCrcTag,   ui.chkMorse,    ui.txtMorseSpeed,
                              ui.txtCallID,   ui.txtTmr1,     ui.txtTmr2,     ui.chkBCheck,
                              ui.txtBlo,      ui.txtBhi};
    static_assert(std::size(fixed) == static_cast<size_t>(ConfigField::Command0));
    return field == ConfigField::PrgPort ? ui.txtPrgComm : fixed[i];
}

// A button's state as the record keeps it: 0, 1, or 2 for a check box's grey state.
QString FrmTone::fieldText(ConfigField field) const {
    QWidget* const w = fieldWidget(field);
    if (auto* check = qobject_cast<const QCheckBox*>(w))
        if (check->checkState() == Qt::PartiallyChecked) return QStringLiteral("2");
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return QString::number(button->isChecked() ? 1 : 0);
    return static_cast<const QLineEdit*>(w)->text();
}

// Sets a field as the user would, so that its reactions (captions, labels) run.
void FrmTone::setFieldText(ConfigField field, const QString& value) {
    QWidget* const w = fieldWidget(field);
    const int state = value.toInt();
    if (auto* check = qobject_cast<QCheckBox*>(w)) {
        check->setTristate(state == 2);
        check->setCheckState(state == 2 ? Qt::PartiallyChecked
                                        : (state == 1 ? Qt::Checked : Qt::Unchecked));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setChecked(state == 1);
    } else {
        static_cast<QLineEdit*>(w)->setText(value);
    }
}

DecoderConfig FrmTone::config() const {
    DecoderConfig c;
    for (ConfigField f : kDecodeOrder) SetField(c, f, latin1(fieldText(f)));
    return c;
}

void FrmTone::setConfig(const DecoderConfig& c) {
    for (ConfigField f : kDecodeOrder) setFieldText(f, fromLatin1(GetField(c, f)));
}

bool FrmTone::EncodeConfig() {
    const EncodeResult result = calvento::EncodeConfig(config());
    m_transmitImage = result.image;
    if (!result.ok) m_ui.messageBox(fromLatin1(result.message), kWarning, MessageIcon::None);
    return result.ok;
}

void FrmTone::DecodeConfig(const DecoderImage& image) {
    setConfig(calvento::DecodeConfig(image));
}

void FrmTone::showFileInCaption(const QString& path) {
    m_configFilePath = path;
    const QString name = path.mid(
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
    setWindowTitle(QStringLiteral("Calvento v%1 - %2").arg(kVersion, name));
}

void FrmTone::cmdSave_Click() {
    const DecoderConfig c = config();
    const std::string port = latin1(ui.txtPrgComm->text());
    // A value the file cannot carry is refused before the user picks a file, not written changed.
    const std::string refusal = ConfigFileRefusal(c, port);
    if (!refusal.empty()) {
        m_ui.messageBox(fromLatin1(refusal), kWarning, MessageIcon::None);
        return;
    }
    QString path = m_ui.saveFileName(QStringLiteral("Save File"), ProgramFolder(),
                                     DefaultConfigFileName(), kConfigFilter);
    if (path.isEmpty()) return;
    // A bare name gets the extension, so that the Load dialog lists the file.
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".prg");
    QString error;
    if (!WriteWholeFile(path, QByteArray::fromStdString(FormatConfigFile(c, port)), &error)) {
        m_ui.messageBox(error, kWarning, MessageIcon::None);
        return;
    }
    showFileInCaption(QDir::toNativeSeparators(path));
}

void FrmTone::cmdLoad_Click() {
    const QString path = m_ui.openFileName(QStringLiteral("Load File"), ProgramFolder(),
                                           DefaultConfigFileName(), kConfigFilter);
    if (path.isEmpty()) return;
    LoadConfigFile(QDir::toNativeSeparators(path));
}

void FrmTone::LoadConfigFile(const QString& path) {
    const QString title = QStringLiteral("Unable to load data file ") + path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_ui.messageBox(file.exists() ? file.errorString() : QStringLiteral("File not found"),
                        title, MessageIcon::None);
        return;
    }
    // Read whole and checked before anything changes: a file that fails part-way (cut off, too
    // large, unreadable) leaves every field, the caption and the port as they were, so that
    // PROGRAM can never write a mix of two files.
    const QByteArray bytes = file.read(kMaxConfigFileBytes + 1);
    const bool readFailed = file.error() != QFileDevice::NoError;
    file.close();
    if (readFailed || bytes.size() > kMaxConfigFileBytes) {
        m_ui.messageBox(readFailed ? file.errorString()
                                   : QStringLiteral("The file is larger than any configuration "
                                                    "file (over %1 bytes).")
                                         .arg(kMaxConfigFileBytes),
                        title, MessageIcon::None);
        return;
    }
    const ConfigFileRead read =
        ReadConfigFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (!read.error.empty()) {
        m_ui.messageBox(fromLatin1(read.error), title, MessageIcon::None);
        return;
    }

    for (size_t i = 0; i < read.values.size(); ++i) {
        const ConfigField field = kConfigFileOrder[i];
        const QString value = fromLatin1(read.values[i]);
        if (field == ConfigField::PrgPort && ui.chkPrg->isChecked() &&
            value != ui.txtPrgComm->text()) {
            // Never leave the link open on a port other than the one shown.
            ui.chkPrg->setChecked(false);
        }
        setFieldText(field, value);
    }
    showFileInCaption(path);
}

// ---- sequence fields and the replace calculator -------------------------------------------------

void FrmTone::txtSeqCmd_Change() {
    ui.lblSeqCmd->setText(QStringLiteral("[") + ui.txtSeqCmd->text() + QStringLiteral("]"));
}

void FrmTone::txtCrcTag_Change(bool typed) {
    const QString key = ui.txtCrcTag->text();
    if (!typed) {
        ui.lblCrcTag->setText(QStringLiteral("[") + key + QStringLiteral("]"));
        return;
    }
    if (key.isEmpty()) return;
    for (int i = 0; i < kCommandCount; ++i) {
        if (!txtMem(i)->text().contains(key)) continue;
        m_ui.messageBox(QStringLiteral("Digit ") + key +
                            QStringLiteral(" already used in command sequences.\r\n"
                                           "Please choose another digit."),
                        kWarning, MessageIcon::None);
        ui.txtCrcTag->setFocus();
        ui.txtCrcTag->selectAll();
        return;
    }
}

void FrmTone::txtSeqOri_Change() {
    ui.Label6->setText(QStringLiteral("Original Sequence"));
    const QString text = ui.txtSeqOri->text();
    if (text.isEmpty()) return;
    for (int i = 0; i < kCommandCount; ++i) {
        if (txtMem(i)->text() == text) {
            ui.Label6->setText(QStringLiteral("Original Sequence [cmd %1]").arg(i));
            return;
        }
    }
}

void FrmTone::txtSeqNew_Change() {
    ui.Label8->setText(QStringLiteral("New Sequence"));
    const QString text = ui.txtSeqNew->text();
    if (text.isEmpty()) return;
    for (int i = 0; i < kCommandCount; ++i) {
        if (txtMem(i)->text() == text) {
            ui.Label8->setText(QStringLiteral("New Sequence  [cmd %1]").arg(i));
            return;
        }
    }
}

void FrmTone::txtMem_DblClick(int index) {
    const QString command = txtMem(index)->text();
    if (command.isEmpty()) return;
    ui.Text1->setText(command);
    Text1_Click();
    ui.SSTab1->setCurrentIndex(1);
    ui.Text1->setFocus();
    ui.Text1->selectAll();
}

void FrmTone::cmdSeqCalc_Click() {
    const ReplaceResult r =
        CalculateReplaceSequence(latin1(ui.txtSeqOri->text()), latin1(ui.txtSeqNew->text()),
                                 latin1(ui.txtSeqCmd->text()), latin1(ui.txtCrcTag->text()));
    if (r.failure != ReplaceResult::Failure::None) {
        m_ui.messageBox(fromLatin1(r.message), fromLatin1(r.title),
                        r.exclamation ? MessageIcon::Exclamation : MessageIcon::Information);
        QLineEdit* offending = nullptr;
        if (r.failure == ReplaceResult::Failure::OriginalEndsWithModifier) offending = ui.txtSeqOri;
        if (r.failure == ReplaceResult::Failure::NewEndsWithModifier) offending = ui.txtSeqNew;
        if (offending) {
            offending->setFocus();
            offending->setSelection(r.selectionStart, r.selectionLength);
        }
        return;
    }
    ui.Text1->setText(fromLatin1(r.sequence));
    Text1_Click();
}

// ---- read and program runs with the board -------------------------------------------------------

Dialog& FrmTone::statusWindow() {
    if (!m_dialog) m_dialog = new Dialog(this);
    return *m_dialog;
}

// One run at a time: while a read or a programming run waits, nothing may start another run or
// take the port away from it. The controls get back the states they had.
void FrmTone::lockForRun(bool locked) {
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
}

// A run whose port failed ends with the failure in a message box, and the controls follow the
// port's real state: a port that is gone leaves the programming link off.
void FrmTone::endRunWithPortFailure(const QString& title, const QString& boardState) {
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

void FrmTone::cmdRead_Click() {
    if (!MSComm1.isOpen()) return;
    lockForRun(true);
    startTrace();
    if (m_link->read() == BoardLink::Outcome::PortFailed)
        endRunWithPortFailure(QStringLiteral("Calvento"));
    stopTrace();
    lockForRun(false);
    closeIfPending();
}

void FrmTone::cmdSend_Click() {
    yieldPortToProgramming();
    lockForRun(true);
    if (EncodeConfig()) {
        m_clock.processEvents();
        const QString portName =
            QStringLiteral("COM%1").arg(LeadingPortNumber(ui.txtPrgComm->text()));
        startTrace();
        const BoardBackups backups(DefaultBackupFolder());
        const ProgramResult r = RunProgramJob(*m_link, m_transmitImage, portName, &backups,
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
    closeIfPending();
}

// What PROGRAM asks the user on its way: whether to write without a backup, and the fields that
// will change.
ProgramHooks FrmTone::programQuestions() {
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
        for (const FieldChange& c : changes) lines << fromLatin1(ChangeLine(c));
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

void FrmTone::setUpProgrammingMenu() {
    m_restoreBackup = new QAction(QStringLiteral("Restore last backup"), this);
    m_restoreBackup->setObjectName(QStringLiteral("actRestoreBackup"));
    m_restoreBackup->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    connect(m_restoreBackup, &QAction::triggered, this, &FrmTone::restoreLastBackup);

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
        addAction(a);  // the shortcut, wherever the focus is in the window
        ui.Frame12->addAction(a);
    }
    ui.Frame12->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_trace = std::make_unique<SerialTrace>(m_clock);
}

// The newest backup goes into the fields; writing it to the board stays a PROGRAM of its own.
void FrmTone::restoreLastBackup() {
    if (m_runUnderWay) return;
    const QString latest = BoardBackups(DefaultBackupFolder()).latest();
    if (latest.isEmpty()) {
        m_ui.messageBox(QStringLiteral("There is no backup in %1 yet: one is kept before every "
                                       "programming run.")
                            .arg(DefaultBackupFolder()),
                        m_restoreBackup->text(), MessageIcon::Information);
        return;
    }
    LoadConfigFile(latest);
}

// With tracing on, each run is recorded in traces/ of the program folder, one file a run.
void FrmTone::startTrace() {
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

void FrmTone::stopTrace() {
    m_link->setTrace(nullptr);
    if (!m_trace->isOpen()) return;
    m_trace->close();
    if (!m_trace->error().isEmpty())
        m_ui.notify(QStringLiteral("The serial trace could not be written whole to %1\r\n%2")
                        .arg(m_trace->path(), m_trace->error()),
                    kWarning, MessageIcon::Exclamation);
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
}

void FrmTone::cmdTone_Click() {
    // Enter in Text1 reaches here even while the button is disabled during playback. A second
    // send then would drop push-to-talk in the middle of the first transmission: ignore it.
    if (m_player.isPlaying()) return;

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

    QApplication::setOverrideCursor(Qt::WaitCursor);
    setSendStatus(QStringLiteral("Sending Sequence....."));
    ui.cmdTone->setEnabled(false);
    m_clock.processEvents();

    // Push-to-talk comes down 40 ms after the last sample, also while a box of another handler
    // holds the window, and before any failure is told; a guard drops it when the sound system
    // stalls.
    KeyedSendOptions options;
    options.stillKeying = [this] { return ui.chkPtt->isChecked(); };
    ui.cmdRadio->setEnabled(false);
    PushToTalk* const ptt = ui.chkPtt->isChecked() ? pushToTalk() : nullptr;
    const SendReport report = RunSendJob(
        m_player, m_clock, ptt, ui.Text1->text().toLatin1().toStdString(), settings, options);
    const KeyedSendResult& sent = report.sent;
    ui.cmdRadio->setEnabled(true);
    logSend(report, ptt);
    if (!sent.play.failure.isEmpty())
        m_ui.messageBox(sent.play.failure, QStringLiteral(" SuonaSequenza"), MessageIcon::Critical);

    QApplication::restoreOverrideCursor();
    ui.cmdTone->setEnabled(true);
    if (!m_timer1->isActive()) m_timer1->start();
    // A send that failed, or whose transmitter was not keyed, did not go over the air as asked:
    // the status says so instead of "Sequence completed.", and a message tells why. A failed
    // send shows no effective time, which would be that of an earlier one.
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
        const QString how = !m_radio.usesSerialLine()
                                ? QStringLiteral("Hamlib could not key the rig.")
                                : QStringLiteral("the %1 line of PTT Comm %2 could not be %3.")
                                      .arg(ModemLineName(m_radio.line()), ui.txtPttCom->text(),
                                           m_radio.inverted() ? QStringLiteral("dropped")
                                                              : QStringLiteral("raised"));
        m_ui.messageBox(
            QStringLiteral("The transmitter was not keyed: %1\r\n%2").arg(how, sent.keyingError),
            kWarning, MessageIcon::Exclamation);
    }
    if (!sent.released)
        m_ui.messageBox(QStringLiteral("The transmitter may still be keyed: ") + sent.releaseError,
                        kWarning, MessageIcon::Critical);
    closeIfPending();
}

// Every send goes into the send log when it has ended; a log that cannot be written is told
// without holding the window, and the send's own status stands.
void FrmTone::logSend(const SendReport& report, PushToTalk* ptt) {
    SendLogEntry entry = SendLogEntryOf(report);
    entry.site = DefaultSiteName();
    entry.source = QStringLiteral("window");
    entry.sequence = ui.Text1->text();
    if (ptt) entry.pttMethod = ptt->name();
    entry.soundDevice = m_radio.deviceDescription;
    QString why;
    if (!SendLog(SendLog::DefaultPath()).append(entry, &why))
        m_ui.notify(QStringLiteral("The send log could not be written:\r\n") + why, kWarning,
                    MessageIcon::Exclamation);
}

void FrmTone::setSendStatus(const QString& text) {
    SetStatusText(ui.lblInfoSend, text, QStringLiteral("Send status"));
}

void FrmTone::chkPtt_Click() {
    if (!ui.chkPtt->isChecked()) {
        releasePushToTalk();
        ui.txtPttCom->setEnabled(true);
        return;
    }
    if (!m_radio.usesSerialLine()) {
        // Hamlib keys the rig on a port of its own; programming goes on unless that is its port.
        if (ui.chkPrg->isChecked() && pttSharesProgrammingPort()) ui.chkPrg->setChecked(false);
        QString why;
        m_rigPtt = MakePushToTalk(m_radio, m_pttPort, &why);
        if (m_rigPtt && !m_rigPtt->prepare(&why)) m_rigPtt.reset();
        if (!m_rigPtt) {
            m_ui.messageBox(
                QStringLiteral("The transmitter cannot be keyed through Hamlib.\r\n") + why,
                kWarning, MessageIcon::Exclamation);
            ui.chkPtt->setChecked(false);
        }
        return;
    }
    if (!takeSharedPort(ui.chkPtt, ui.txtPttCom)) return;
    // The line goes to its idle state now, and a port without it says so at once, not after a
    // whole sequence went out unkeyed.
    QString why;
    if (!m_serialPtt.prepare(&why)) m_ui.messageBox(why, kWarning, MessageIcon::Exclamation);
}

PushToTalk* FrmTone::pushToTalk() {
    if (m_radio.usesSerialLine()) return &m_serialPtt;
    return m_rigPtt.get();
}

// Push-to-talk lets go of the transmitter and of its port: the line goes down for sure before
// the port closes, whatever the device does at a close. A Hamlib rig holds no port of ours (the
// programming port may be open beside it).
void FrmTone::releasePushToTalk() {
    if (m_rigPtt) {
        m_rigPtt->setKeyed(false, nullptr);
        m_rigPtt.reset();
    }
    if (m_radio.usesSerialLine() && m_pttPort.isOpen()) {
        m_serialPtt.setKeyed(false, nullptr);
        m_pttPort.close();
    }
}

bool FrmTone::pttSharesProgrammingPort() const {
    auto device = [](const QLineEdit* field) {
        const int n = LeadingPortNumber(field->text());
        return IsPortNumber(n) ? DeviceForPortNumber(n) : QStringLiteral("COM%1").arg(n);
    };
    return PttSharesProgrammingPort(m_radio, &m_pttPort != &MSComm1, device(ui.txtPttCom),
                                    device(ui.txtPrgComm));
}

void FrmTone::yieldPortToProgramming() {
    if (pttSharesProgrammingPort())
        switchPushToTalkOff(QStringLiteral("programming uses COM%1.")
                                .arg(LeadingPortNumber(ui.txtPrgComm->text())));
}

void FrmTone::switchPushToTalkOff(const QString& why) {
    if (!ui.chkPtt->isChecked()) return;
    ui.chkPtt->setChecked(false);
    setSendStatus(QStringLiteral("PTT switched off:\r\n") + why);
}

// ---- the radio interface dialog -----------------------------------------------------------------

void FrmTone::cmdRadio_Click() {
    if (m_player.isPlaying() || m_runUnderWay || m_radioDialog) return;
    // A test of a serial line opens the PTT port for the test alone, unless programming holds it.
    auto openTestPort = [this](QString* why) {
        if (ui.chkPrg->isChecked() && pttSharesProgrammingPort()) {
            *why = QStringLiteral(
                "the port serves programming now; untick Enable under "
                "Programming first.");
            return false;
        }
        QString device, reason;
        if (openNumberedPort(m_pttPort, ui.txtPttCom->text(), &device, &reason)) return true;
        *why = device.isEmpty() ? InvalidPortNumberText() : device + QStringLiteral(": ") + reason;
        return false;
    };
    auto* dialog =
        new RadioInterfaceDialog(m_radio, m_player.audio(), m_pttPort, m_clock, openTestPort, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { applyRadioInterface(dialog->choice(), true); });
    m_radioDialog = dialog;
    dialog->open();
}

void FrmTone::applyRadioInterface(const RadioInterface& choice, bool remember) {
    // A new push-to-talk method takes over from a clean start: the old one lets go first.
    const bool sameKeying = choice.ptt == m_radio.ptt && choice.rigModel == m_radio.rigModel &&
                            choice.rigPort == m_radio.rigPort && choice.pttType == m_radio.pttType;
    if (!sameKeying) switchPushToTalkOff(QStringLiteral("the radio interface changed."));
    m_radio = choice;
    if (remember) SaveRadioInterface(ProgramFile(OptionsFileName()), choice);
    m_player.audio().chooseDevice(choice.deviceId.toStdString());
    m_serialPtt.setLine(choice.line(), choice.inverted());
}

void FrmTone::Timer1_Timer() {
    m_timer1->stop();
    setSendStatus(QString());
}

// ---- "Programming" frame and the shared port ----------------------------------------------------

void FrmTone::chkPrg_Click() {
    if (!ui.chkPrg->isChecked()) {
        if (MSComm1.isOpen()) {
            m_link->signOff();
            MSComm1.close();
        }
        ui.txtPrgComm->setEnabled(true);
        ui.cmdRead->setEnabled(false);
        ui.cmdSend->setEnabled(false);
        return;
    }
    if (!takeSharedPort(ui.chkPrg, ui.txtPrgComm)) return;
    ui.cmdRead->setEnabled(true);
    ui.cmdSend->setEnabled(true);
    m_link->signOn();
}

// Ticking either box: when both would use one port, the other box lets go of it first; then the
// box's port opens on the number in its field, which stays locked while the port is held. A
// number out of range is told and the box stays ticked with the port closed, as the classic
// program left it; a port that does not open is told by OpenPort and the box goes back.
bool FrmTone::takeSharedPort(QCheckBox* box, QLineEdit* numberField) {
    const bool ptt = box == ui.chkPtt;
    if (!ptt)
        yieldPortToProgramming();
    else if (pttSharesProgrammingPort())
        ui.chkPrg->setChecked(false);
    if (!IsPortNumber(TolerantNumber(numberField->text().toStdString()))) {
        m_ui.messageBox(InvalidPortNumberText(), kWarning, MessageIcon::None);
        return false;
    }
    SerialPort& port = ptt ? m_pttPort : MSComm1;
    OpenPort(port, numberField->text());
    if (!port.isOpen()) {
        box->setChecked(false);
        return false;
    }
    numberField->setEnabled(false);
    return true;
}

void FrmTone::OpenPort(SerialPort& port, const QString& fieldText) {
    QString device, reason;
    if (openNumberedPort(port, fieldText, &device, &reason)) return;
    m_ui.messageBox(PortOpenFailure(fieldText, device, reason), kWarning, MessageIcon::Information);
}

// Opens `port` on the port whose number leads `fieldText`; false with the device (empty for a
// number out of range) and the system's reason.
bool FrmTone::openNumberedPort(SerialPort& port, const QString& fieldText, QString* device,
                               QString* reason) {
    const int number = LeadingPortNumber(fieldText);
    if (!IsPortNumber(number)) return false;
    *device = DeviceForPortNumber(number);
    return port.open(*device, reason);
}

}  // namespace calvento

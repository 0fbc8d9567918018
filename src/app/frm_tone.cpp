// The main window's behaviour. See frm_tone.h.
#include "app/frm_tone.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include "app/app_settings.h"
#include "app/clock.h"
#include "app/program_folder.h"
#include "app/classic_layout.h"
#include "app/user_interface.h"
#include "tone/player.h"

namespace calvento {

namespace {

constexpr int kTwipsPerPixel = 15;
const QString kVersion = QStringLiteral("%1.%2").arg(CALVENTO_VERSION_MAJOR).arg(CALVENTO_VERSION_MINOR);

}  // namespace

QString ProgramCaption() { return QStringLiteral("Calvento v%1 by Kolbex").arg(kVersion); }

void InstallClassicFontSubstitutes() {
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial Narrow"),
                              QStringLiteral("Liberation Sans Narrow"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    QFont::insertSubstitution(QStringLiteral("Courier"), QStringLiteral("Liberation Mono"));
}

FrmTone::FrmTone(Player& player, UiServices& ui, Clock& clock, QWidget* parent)
    : QWidget(parent), m_player(player), m_ui(ui), m_clock(clock) {
    this->ui.setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    ApplyClassicTabs(this->ui.SSTab1);
    ApplyClassicTabs(this->ui.SSTabCmd);
    FitCaptions(this);
    setFixedSize(size());
    setWindowTitle(ProgramCaption());
    this->ui.lblInfoSend->setText(
        QStringLiteral("Calvento v%1 by Kolbex\r\nDTMF decoder companion")
            .arg(kVersion));

    // Timer1 shows the credit text for the first 20 seconds; tmrTimeOut is the board's reply
    // time-out and only runs during an exchange.
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(20000);
    connect(m_timer1, &QTimer::timeout, this, &FrmTone::Timer1_Timer);
    m_timer1->start();
    m_tmrTimeOut = new QTimer(this);
    m_tmrTimeOut->setObjectName(QStringLiteral("tmrTimeOut"));
    m_tmrTimeOut->setInterval(2400);
    m_tmrTimeOut->setSingleShot(true);

    // F1 must work wherever the focus is, so the window looks at every key first.
    qApp->installEventFilter(this);

    Form_Load();
}

FrmTone::~FrmTone() { qApp->removeEventFilter(this); }

QString FrmTone::settingsFilePath() const { return ProgramFile(QStringLiteral("Calvento31.ini")); }

// ---- start-up and close -------------------------------------------------------------------------

void FrmTone::Form_Load() {
    FillToneTable(m_player.toneTable());

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
    if (!m_player.isPlaying()) return true;
    m_ui.messageBox(QStringLiteral("Please wait end of sound before closing application."),
                    QStringLiteral("Calvento v%1").arg(CALVENTO_VERSION_MAJOR),
                    MessageIcon::Information);
    return false;
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
        m_ui.messageBox(QStringLiteral("The settings could not be saved to %1\r\n%2")
                            .arg(settingsFilePath(), error),
                        QStringLiteral("Warning"), MessageIcon::Exclamation);
    }
}

bool FrmTone::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // Only the first delivery of a key counts: the focused control, or the window itself
        // when nothing has the focus. The key then goes on to the control as usual.
        QWidget* w = static_cast<QWidget*>(watched);
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : this;
        if (w == target && w->window() == this)
            Form_KeyDown(static_cast<QKeyEvent*>(event)->key());
    }
    return QWidget::eventFilter(watched, event);
}

void FrmTone::Form_KeyDown(int keyCode) {
    if (keyCode == Qt::Key_F1)
        Apri(ProgramFile(QStringLiteral("Manuale_Calvento31.rtf")),
             QStringLiteral("Calvento v%1").arg(kVersion));
}

// ---- calls into later screens -------------------------------------------------------------------

void FrmTone::LoadConfigFile(const QString& path) {
    // Configuration files arrive with the configuration screen; until then nothing is loaded.
    Q_UNUSED(path);
}

void FrmTone::Apri(const QString& fileName, const QString& title) {
    // The instructions window arrives with the manual; until then F1 has nothing to show.
    Q_UNUSED(fileName);
    Q_UNUSED(title);
}

// ---- "Send Sequence" frame ----------------------------------------------------------------------

void FrmTone::Text1_Click() {
    ui.Label3->setText(QStringLiteral("Sequence to Send (%1 digits)").arg(ui.Text1->text().size()));
    ui.cmdTone->setEnabled(!ui.Text1->text().isEmpty());
}

void FrmTone::Timer1_Timer() {
    m_timer1->stop();
    ui.lblInfoSend->setText(QString());
}

}  // namespace calvento

// The instructions window. See frm_istruzioni.h.
#include "app/frm_istruzioni.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "app/classic_layout.h"
#include "platform/user_interface.h"
#include "rtf/rtf_reader.h"
#include "ui_frm_istruzioni.h"

namespace calvento {

FrmIstruzioni::FrmIstruzioni(UiServices& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_form(std::make_unique<Ui::frmIstruzioni>()),
      ui(*m_form),
      m_ui(dialogs) {
    ui.setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui.rtfIstruzioni->setOpenLinks(false);
    m_lastFocus = QGuiApplication::focusWindow();
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            &FrmIstruzioni::focusWindowChanged);
    Form_Load();
}

FrmIstruzioni::~FrmIstruzioni() = default;

void FrmIstruzioni::Form_Load() {
    // Centred on the screen, the size unchanged.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.x() + (s.width() - width()) / 2, s.y() + (s.height() - height()) / 2);
    }
}

void FrmIstruzioni::Apri(const QString& NFileIstruzioni, const QString& Titolo) {
    m_file = NFileIstruzioni;
    setWindowTitle(QStringLiteral(" ") + Titolo);
    // Loaded here, once: the activation that follows finds it fresh.
    Form_Activate();
    if (m_unloading) return;
    show();
    raise();
    activateWindow();
}

void FrmIstruzioni::focusWindowChanged(QWindow* now) {
    QWindow* const mine = windowHandle();
    const QWindow* const before = m_lastFocus;
    m_lastFocus = now;
    if (!mine) return;
    if (before == mine && now != mine) m_viewMoved = true;
    if (now == mine && before && before != mine && m_viewMoved) Form_Activate();
}

bool FrmIstruzioni::FileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.isReadable();
}

void FrmIstruzioni::Form_Activate() {
    if (m_unloading) return;
    QFile file(m_file);
    if (FileExists(m_file) && file.open(QIODevice::ReadOnly)) {
        if (!ReadRtf(file.readAll(), ui.rtfIstruzioni->document()))
            ui.rtfIstruzioni->setPlainText(
                QStringLiteral("The manual %1 is not a rich text (RTF) file.").arg(m_file));
        ui.rtfIstruzioni->moveCursor(QTextCursor::Start);
        m_viewMoved = false;
        return;
    }
    m_unloading = true;
    hide();
    m_ui.messageBox(QStringLiteral("Manca il file di help ") + m_file,
                    QStringLiteral("Calvento v%1r").arg(CALVENTO_VERSION_MAJOR),
                    MessageIcon::Critical);
    close();  // deleted on close
}

void FrmIstruzioni::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FrmIstruzioni::Form_Resize() {
    if (isMinimized()) return;
    // The margins were measured from the outer size of the window, borders and caption
    // included; a window manager with wider borders must still not push the view's scroll bars
    // out of sight, so the view never grows past the client area either.
    const QSize outer = frameGeometry().size();
    const int w = std::min(outer.width() - 120 / kTwipsPerPixel, width());
    const int h = std::min(outer.height() - 480 / kTwipsPerPixel, height());
    ui.rtfIstruzioni->setGeometry(0, 0, std::max(1, w), std::max(1, h));
}

}  // namespace calvento

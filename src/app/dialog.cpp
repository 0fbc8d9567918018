// The status window. See dialog.h.
#include "app/dialog.h"

#include "ui_dialog.h"

namespace calvento {

Dialog::Dialog(QWidget* owner)
    : QDialog(owner), m_form(std::make_unique<Ui::Dialog>()), ui(*m_form) {
    ui.setupUi(this);
    setFixedSize(size());
    setModal(false);
    connect(ui.OKButton, &QPushButton::clicked, this, &QWidget::hide);
}

Dialog::~Dialog() = default;

void Dialog::setOkVisible(bool visible) {
    ui.OKButton->setVisible(visible);
}

void Dialog::setInfo(const QString& text) {
    SetStatusText(ui.lblInfo, text, QStringLiteral("Status"));
}

void SetStatusText(QLabel* label, const QString& text, const QString& emptyName) {
    label->setText(text);
    const QString spoken =
        QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")).trimmed();
    label->setAccessibleName(spoken.isEmpty() ? emptyName : spoken);
}

void Dialog::setTextColor(const QColor& color) {
    QPalette p = ui.lblInfo->palette();
    p.setColor(QPalette::WindowText, color);
    ui.lblInfo->setPalette(p);
}

void Dialog::setVisible(bool visible) {
    if (visible && !isVisible() && m_shownBefore) move(m_lastPosition);
    if (!visible && isVisible()) {
        m_lastPosition = pos();
        m_shownBefore = true;
    }
    QDialog::setVisible(visible);
}

QColor Dialog::textColor() const {
    return ui.lblInfo->palette().color(QPalette::WindowText);
}

}  // namespace calvento

// The status window. See dialog.h.
#include "app/dialog.h"

namespace calvento {

Dialog::Dialog(QWidget* owner) : QDialog(owner) {
    ui.setupUi(this);
    setFixedSize(size());
    setModal(false);
    connect(ui.OKButton, &QPushButton::clicked, this, &QWidget::hide);
}

void Dialog::setTextColor(const QColor& color) {
    QPalette p = ui.lblInfo->palette();
    p.setColor(QPalette::WindowText, color);
    ui.lblInfo->setPalette(p);
}

QColor Dialog::textColor() const {
    return ui.lblInfo->palette().color(QPalette::WindowText);
}

}  // namespace calvento

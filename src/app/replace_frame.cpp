// The "Remote Modify" frame. See replace_frame.h.
#include "app/replace_frame.h"

#include "app/config_fields.h"
#include "platform/user_interface.h"
#include "remote/replace_calculator.h"
#include "ui_frm_tone.h"

namespace calvento {

namespace {

std::string latin1(const QString& text) {
    return text.toLatin1().toStdString();
}
QString fromLatin1(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

ReplaceFrame::ReplaceFrame(Ui::frmTone& form, const ConfigFields& fields, UiServices& dialogs,
                           QObject* parent)
    : QObject(parent), ui(form), m_fields(fields), m_ui(dialogs) {
    connect(ui.txtSeqOri, &QLineEdit::textChanged, this, &ReplaceFrame::txtSeqOri_Change);
    connect(ui.txtSeqNew, &QLineEdit::textChanged, this, &ReplaceFrame::txtSeqNew_Change);
    connect(ui.cmdSeqCalc, &QPushButton::clicked, this, &ReplaceFrame::cmdSeqCalc_Click);
}

int ReplaceFrame::commandEqualTo(const QString& text) const {
    if (text.isEmpty()) return -1;
    for (int i = 0; i < kCommandCount; ++i)
        if (m_fields.txtMem(i)->text() == text) return i;
    return -1;
}

void ReplaceFrame::txtSeqOri_Change() {
    const int i = commandEqualTo(ui.txtSeqOri->text());
    ui.Label6->setText(i < 0 ? QStringLiteral("Original Sequence")
                             : QStringLiteral("Original Sequence [cmd %1]").arg(i));
}

void ReplaceFrame::txtSeqNew_Change() {
    const int i = commandEqualTo(ui.txtSeqNew->text());
    ui.Label8->setText(i < 0 ? QStringLiteral("New Sequence")
                             : QStringLiteral("New Sequence  [cmd %1]").arg(i));
}

void ReplaceFrame::cmdSeqCalc_Click() {
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
    emit sequenceMade(fromLatin1(r.sequence));
}

}  // namespace calvento

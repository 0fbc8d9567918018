// The "Remote Modify" frame: the sequence that makes the board replace one stored command by
// another, computed by the replace calculator (remote/replace_calculator.h) from the Modifier ID
// and the Checksum ID of the configuration tab. The labels name a command of the configuration
// that the original or the new sequence equals; a computed sequence goes to the send field.
#pragma once

#include <QObject>
#include <QString>

namespace Ui {
class frmTone;
}

namespace calvento {

class ConfigFields;
class UiServices;

class ReplaceFrame : public QObject {
    Q_OBJECT

public:
    ReplaceFrame(Ui::frmTone& ui, const ConfigFields& fields, UiServices& dialogs, QObject* parent);

signals:
    // The calculator made this sequence: it is the one to send.
    void sequenceMade(const QString& sequence);

private:
    void txtSeqOri_Change();
    void txtSeqNew_Change();
    void cmdSeqCalc_Click();
    // The stored command that `text` equals, or -1.
    int commandEqualTo(const QString& text) const;

    Ui::frmTone& ui;
    const ConfigFields& m_fields;
    UiServices& m_ui;
};

}  // namespace calvento

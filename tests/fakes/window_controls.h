// The windows' controls as the tests reach them: by the object names they carry on screen
// (Text1, txtMem_3, cmdTone), found in the window as a screen reader or a test tool finds them.
// The windows keep their generated forms to themselves; a control a test names that a window
// does not have ends the test at once, naming it. Only the controls some test uses are here.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>

#include "app/dialog.h"
#include "app/frm_istruzioni.h"
#include "app/frm_tone.h"
#include "app/radio_interface.h"

namespace calvento::test {

template <class Control>
Control* Named(const QWidget& window, const char* name) {
    auto* control = window.findChild<Control*>(QLatin1String(name));
    if (!control) qFatal("%s has no control %s", qPrintable(window.objectName()), name);
    return control;
}

struct MainWindowControls {
    explicit MainWindowControls(const FrmTone& w)
        : Label3(Named<QLabel>(w, "Label3")),
          Label6(Named<QLabel>(w, "Label6")),
          Label8(Named<QLabel>(w, "Label8")),
          SSTab1(Named<QTabWidget>(w, "SSTab1")),
          SSTabCmd(Named<QTabWidget>(w, "SSTabCmd")),
          Text1(Named<QLineEdit>(w, "Text1")),
          Text2(Named<QLineEdit>(w, "Text2")),
          Text3(Named<QLineEdit>(w, "Text3")),
          Text4(Named<QLineEdit>(w, "Text4")),
          chkMorse(Named<QCheckBox>(w, "chkMorse")),
          chkOutput_0(Named<QPushButton>(w, "chkOutput_0")),
          chkOutput_1(Named<QPushButton>(w, "chkOutput_1")),
          chkOutput_3(Named<QPushButton>(w, "chkOutput_3")),
          chkPrg(Named<QCheckBox>(w, "chkPrg")),
          chkPtt(Named<QCheckBox>(w, "chkPtt")),
          cmdLoad(Named<QPushButton>(w, "cmdLoad")),
          cmdRadio(Named<QPushButton>(w, "cmdRadio")),
          cmdRead(Named<QPushButton>(w, "cmdRead")),
          cmdSave(Named<QPushButton>(w, "cmdSave")),
          cmdSend(Named<QPushButton>(w, "cmdSend")),
          cmdSeqCalc(Named<QPushButton>(w, "cmdSeqCalc")),
          cmdTone(Named<QPushButton>(w, "cmdTone")),
          lblCrcTag(Named<QLabel>(w, "lblCrcTag")),
          lblInfoSend(Named<QLabel>(w, "lblInfoSend")),
          lblSeqCmd(Named<QLabel>(w, "lblSeqCmd")),
          txtCallID(Named<QLineEdit>(w, "txtCallID")),
          txtCrcTag(Named<QLineEdit>(w, "txtCrcTag")),
          txtMem_0(Named<QLineEdit>(w, "txtMem_0")),
          txtMem_3(Named<QLineEdit>(w, "txtMem_3")),
          txtPrgComm(Named<QLineEdit>(w, "txtPrgComm")),
          txtPttCom(Named<QLineEdit>(w, "txtPttCom")),
          txtSeqCmd(Named<QLineEdit>(w, "txtSeqCmd")),
          txtSeqNew(Named<QLineEdit>(w, "txtSeqNew")),
          txtSeqOri(Named<QLineEdit>(w, "txtSeqOri")),
          txtTmr1(Named<QLineEdit>(w, "txtTmr1")),
          txtTxd(Named<QLineEdit>(w, "txtTxd")) {}
    QLabel* const Label3;
    QLabel* const Label6;
    QLabel* const Label8;
    QTabWidget* const SSTab1;
    QTabWidget* const SSTabCmd;
    QLineEdit* const Text1;
    QLineEdit* const Text2;
    QLineEdit* const Text3;
    QLineEdit* const Text4;
    QCheckBox* const chkMorse;
    QPushButton* const chkOutput_0;
    QPushButton* const chkOutput_1;
    QPushButton* const chkOutput_3;
    QCheckBox* const chkPrg;
    QCheckBox* const chkPtt;
    QPushButton* const cmdLoad;
    QPushButton* const cmdRadio;
    QPushButton* const cmdRead;
    QPushButton* const cmdSave;
    QPushButton* const cmdSend;
    QPushButton* const cmdSeqCalc;
    QPushButton* const cmdTone;
    QLabel* const lblCrcTag;
    QLabel* const lblInfoSend;
    QLabel* const lblSeqCmd;
    QLineEdit* const txtCallID;
    QLineEdit* const txtCrcTag;
    QLineEdit* const txtMem_0;
    QLineEdit* const txtMem_3;
    QLineEdit* const txtPrgComm;
    QLineEdit* const txtPttCom;
    QLineEdit* const txtSeqCmd;
    QLineEdit* const txtSeqNew;
    QLineEdit* const txtSeqOri;
    QLineEdit* const txtTmr1;
    QLineEdit* const txtTxd;
};
inline MainWindowControls controls(const FrmTone& w) {
    return MainWindowControls(w);
}

struct StatusWindowControls {
    explicit StatusWindowControls(const Dialog& w)
        : OKButton(Named<QPushButton>(w, "OKButton")), lblInfo(Named<QLabel>(w, "lblInfo")) {}
    QPushButton* const OKButton;
    QLabel* const lblInfo;
};
inline StatusWindowControls controls(const Dialog& w) {
    return StatusWindowControls(w);
}

struct RadioInterfaceControls {
    explicit RadioInterfaceControls(const RadioInterfaceDialog& w)
        : cmbDevice(Named<QComboBox>(w, "cmbDevice")),
          cmbPtt(Named<QComboBox>(w, "cmbPtt")),
          lblTest(Named<QLabel>(w, "lblTest")),
          txtRigModel(Named<QLineEdit>(w, "txtRigModel")),
          txtRigPort(Named<QLineEdit>(w, "txtRigPort")) {}
    QComboBox* const cmbDevice;
    QComboBox* const cmbPtt;
    QLabel* const lblTest;
    QLineEdit* const txtRigModel;
    QLineEdit* const txtRigPort;
};
inline RadioInterfaceControls controls(const RadioInterfaceDialog& w) {
    return RadioInterfaceControls(w);
}

struct InstructionsControls {
    explicit InstructionsControls(const FrmIstruzioni& w)
        : rtfIstruzioni(Named<QTextBrowser>(w, "rtfIstruzioni")) {}
    QTextBrowser* const rtfIstruzioni;
};
inline InstructionsControls controls(const FrmIstruzioni& w) {
    return InstructionsControls(w);
}

}  // namespace calvento::test

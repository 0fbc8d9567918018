// The configuration tab's fields, Load and Save. See config_fields.h.
#include "app/config_fields.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "config/config_file.h"
#include "platform/program_folder.h"
#include "platform/user_interface.h"
#include "ui_frm_tone.h"

namespace calvento {

namespace {

const QString kWarning = QStringLiteral("Warning");
const QString kConfigFilter = QStringLiteral("Configuration file (*.prg);;All files (*)");

std::string latin1(const QString& text) {
    return text.toLatin1().toStdString();
}
QString fromLatin1(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

ConfigFields::ConfigFields(Ui::frmTone& form, UiServices& dialogs, QObject* parent)
    : QObject(parent), ui(form), m_ui(dialogs) {
    connect(ui.cmdSave, &QPushButton::clicked, this, &ConfigFields::cmdSave_Click);
    connect(ui.cmdLoad, &QPushButton::clicked, this, &ConfigFields::cmdLoad_Click);
    connect(ui.txtSeqCmd, &QLineEdit::textChanged, this, &ConfigFields::txtSeqCmd_Change);
    connect(ui.txtCrcTag, &QLineEdit::textChanged, this, [this] { txtCrcTag_Change(false); });
    // The check against the commands runs for keys the user types: a file or a board's image
    // sets the key before the commands, which would compare it with the previous ones.
    connect(ui.txtCrcTag, &QLineEdit::textEdited, this, [this] { txtCrcTag_Change(true); });
    QPushButton* outputs[] = {ui.chkOutput_0, ui.chkOutput_1, ui.chkOutput_2, ui.chkOutput_3};
    for (int i = 0; i < 4; ++i)
        connect(outputs[i], &QPushButton::toggled, this, [this, i] { chkOutput_Click(i); });
}

QLineEdit* ConfigFields::txtMem(int index) const {
    QLineEdit* const fields[kCommandCount] = {
        ui.txtMem_0,  ui.txtMem_1,  ui.txtMem_2,  ui.txtMem_3,  ui.txtMem_4,  ui.txtMem_5,
        ui.txtMem_6,  ui.txtMem_7,  ui.txtMem_8,  ui.txtMem_9,  ui.txtMem_10, ui.txtMem_11,
        ui.txtMem_12, ui.txtMem_13, ui.txtMem_14, ui.txtMem_15, ui.txtMem_16, ui.txtMem_17};
    return fields[index];
}

// The control of each field of the configuration, in the order of ConfigField: toggle buttons
// for the outputs, check boxes for the switches, line edits for the rest.
QWidget* ConfigFields::fieldWidget(ConfigField field) const {
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
QString ConfigFields::fieldText(ConfigField field) const {
    QWidget* const w = fieldWidget(field);
    if (auto* check = qobject_cast<const QCheckBox*>(w))
        if (check->checkState() == Qt::PartiallyChecked) return QStringLiteral("2");
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return QString::number(button->isChecked() ? 1 : 0);
    return static_cast<const QLineEdit*>(w)->text();
}

// Sets a field as the user would, so that its reactions (captions, labels) run.
void ConfigFields::setFieldText(ConfigField field, const QString& value) {
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

DecoderConfig ConfigFields::config() const {
    DecoderConfig c;
    for (ConfigField f : kDecodeOrder) SetField(c, f, latin1(fieldText(f)));
    return c;
}

void ConfigFields::setConfig(const DecoderConfig& c) {
    for (ConfigField f : kDecodeOrder) setFieldText(f, fromLatin1(GetField(c, f)));
}

bool ConfigFields::encode(DecoderImage* image) {
    const EncodeResult result = EncodeConfig(config());
    *image = result.image;
    if (!result.ok) m_ui.messageBox(fromLatin1(result.message), kWarning, MessageIcon::None);
    return result.ok;
}

void ConfigFields::showFile(const QString& path) {
    m_filePath = path;
    emit fileShown(path);
}

void ConfigFields::clearFilePath() {
    showFile(QString());
}

// ---- "Configuration" frame ----------------------------------------------------------------------

void ConfigFields::cmdSave_Click() {
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
    showFile(QDir::toNativeSeparators(path));
}

void ConfigFields::cmdLoad_Click() {
    const QString path = m_ui.openFileName(QStringLiteral("Load File"), ProgramFolder(),
                                           DefaultConfigFileName(), kConfigFilter);
    if (path.isEmpty()) return;
    LoadConfigFile(QDir::toNativeSeparators(path));
}

// Reads a configuration file whole and checks it: at most kMaxConfigFileBytes, readable, in the
// file format; false with what the user is told.
bool ConfigFields::readFile(const QString& path, std::vector<std::string>* values,
                            QString* error) const {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.exists() ? file.errorString() : QStringLiteral("File not found");
        return false;
    }
    const QByteArray bytes = file.read(kMaxConfigFileBytes + 1);
    const bool readFailed = file.error() != QFileDevice::NoError;
    if (readFailed || bytes.size() > kMaxConfigFileBytes) {
        *error = readFailed ? file.errorString()
                            : QStringLiteral(
                                  "The file is larger than any configuration file "
                                  "(over %1 bytes).")
                                  .arg(kMaxConfigFileBytes);
        return false;
    }
    ConfigFileRead read =
        ReadConfigFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (!read.error.empty()) {
        *error = fromLatin1(read.error);
        return false;
    }
    *values = std::move(read.values);
    return true;
}

bool ConfigFields::heldByItsFile() const {
    if (m_filePath.isEmpty()) return config() == DecoderConfig{};
    std::vector<std::string> values;
    QString error;
    return readFile(m_filePath, &values, &error) && ConfigFromFileValues(values) == config();
}

bool ConfigFields::LoadConfigFile(const QString& path) {
    // Read whole and checked before anything changes: a file that fails part-way (cut off, too
    // large, unreadable) leaves every field, the caption and the port as they were, so that
    // PROGRAM can never write a mix of two files.
    std::vector<std::string> values;
    QString error;
    if (!readFile(path, &values, &error)) {
        m_ui.messageBox(error, QStringLiteral("Unable to load data file ") + path,
                        MessageIcon::None);
        return false;
    }

    for (size_t i = 0; i < values.size(); ++i) {
        const ConfigField field = kConfigFileOrder[i];
        const QString value = fromLatin1(values[i]);
        if (field == ConfigField::PrgPort && ui.chkPrg->isChecked() &&
            value != ui.txtPrgComm->text()) {
            // Never leave the link open on a port other than the one shown.
            ui.chkPrg->setChecked(false);
        }
        setFieldText(field, value);
    }
    showFile(path);
    return true;
}

// ---- captions that follow the fields ------------------------------------------------------------

void ConfigFields::chkOutput_Click(int index) {
    QPushButton* outputs[] = {ui.chkOutput_0, ui.chkOutput_1, ui.chkOutput_2, ui.chkOutput_3};
    outputs[index]->setText(
        QStringLiteral("Output %1 %2")
            .arg(index + 1)
            .arg(outputs[index]->isChecked() ? QStringLiteral("ON") : QStringLiteral("OFF")));
}

void ConfigFields::txtSeqCmd_Change() {
    ui.lblSeqCmd->setText(QStringLiteral("[") + ui.txtSeqCmd->text() + QStringLiteral("]"));
}

void ConfigFields::txtCrcTag_Change(bool typed) {
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

}  // namespace calvento

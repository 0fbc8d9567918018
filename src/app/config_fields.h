// The "Direct Programming" tab's configuration: the eighteen command fields, the fixed
// parameters and the power-on settings, as one record, and the "Configuration" frame's Load and
// Save with the file the window shows in its caption.
//
// The fields are the screen's own controls (toggle buttons for the outputs, check boxes for the
// switches, line edits for the rest); this class reads and sets them through DecoderConfig
// (config/decoder_config.h), in the order a board's image is decoded so that each field's
// reactions run as the user would see them. A file is read whole and checked before any field
// changes (config/config_file.h), and written whole through a temporary file. The captions that
// follow the fields (the outputs' ON/OFF, the modifier and checksum labels) live here too.
#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "config/decoder_config.h"

namespace Ui {
class frmTone;
}

class QLineEdit;
class QWidget;

namespace calvento {

class UiServices;

class ConfigFields : public QObject {
    Q_OBJECT

public:
    ConfigFields(Ui::frmTone& ui, UiServices& dialogs, QObject* parent);

    DecoderConfig config() const;
    void setConfig(const DecoderConfig& config);
    // Builds the board's image from the fields; false after telling the user what is wrong.
    bool encode(DecoderImage* image);
    QLineEdit* txtMem(int index) const;

    // Loads a configuration file into the fields; tells the user itself when it cannot. True
    // when it was loaded.
    bool LoadConfigFile(const QString& path);
    // The file the fields came from or went to last (empty: none yet).
    QString filePath() const { return m_filePath; }
    // Forgets the file without touching the fields (a site without one).
    void clearFilePath();
    // Whether leaving the fields loses nothing: they hold what their file holds (the
    // programming port aside), or, without a file, nothing at all.
    bool heldByItsFile() const;

signals:
    // The fields now stand for this file (loaded or saved); empty for none.
    void fileShown(const QString& path);

private:
    QWidget* fieldWidget(ConfigField field) const;
    QString fieldText(ConfigField field) const;
    void setFieldText(ConfigField field, const QString& value);
    void showFile(const QString& path);
    bool readFile(const QString& path, std::vector<std::string>* values, QString* error) const;

    // --- "Configuration" frame -------------------------------------------------------------
    void cmdSave_Click();
    void cmdLoad_Click();

    // --- captions that follow the fields ---------------------------------------------------
    void chkOutput_Click(int index);
    void txtSeqCmd_Change();
    void txtCrcTag_Change(bool typed);

    Ui::frmTone& ui;
    UiServices& m_ui;
    QString m_filePath;
};

}  // namespace calvento

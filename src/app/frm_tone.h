// frmTone, the main window: a map of the screen and the handlers of its controls.
//
// The window has two tabs. "Direct Programming" holds the board's configuration (eighteen
// command fields on an inner tab control, the fixed parameters, the power-on settings) with the
// Load/Save and programming frames; "Remote Modify / Send" holds the replace calculator and the
// send frame. The layout lives in frm_tone.ui (positions from the classic twips layout); this
// class holds behaviour only, with each handler next to the controls it serves.
//
// How the pieces meet:
//  - Player (tone/player.h) is the tone module: the window fills its tone table at load, the send
//    command sets its timing and calls SuonaSequenza; the close guard reads isPlaying.
//  - AppSettings (app/app_settings.h) are read at load into the window's fields and written back
//    from them at the close; the window itself is the only place they live while it runs.
//  - UiServices and Clock (app/) are the seams for message boxes and for waiting; tests hand the
//    window fakes of them and of the audio device, so no real dialog blocks and no sound plays.
#pragma once

#include <QString>
#include <QWidget>

#include "ui_frm_tone.h"

class QTimer;

namespace calvento {

class Clock;
class Player;
class UiServices;

class FrmTone : public QWidget {
    Q_OBJECT

public:
    // Creating the window runs its load handler (Form_Load) before it is first shown.
    FrmTone(Player& player, UiServices& ui, Clock& clock, QWidget* parent = nullptr);
    ~FrmTone() override;

    // The generated controls, named as on the screen (txtMem_3, chkOutput_0, ...).
    Ui::frmTone ui;

    QString configFilePath() const { return m_configFilePath; }
    QString settingsFilePath() const;
    QTimer* Timer1() const { return m_timer1; }
    QTimer* tmrTimeOut() const { return m_tmrTimeOut; }

    // Refreshes the sequence counter label and the send button from Text1.
    void Text1_Click();

signals:
    // The window has closed for good: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // --- start-up and close --------------------------------------------------------------------
    void Form_Load();
    bool Form_QueryUnload();  // true when the close may go on
    void Form_Unload();
    void Form_KeyDown(int keyCode);
    void moveToSavedPosition(int leftTwips, int topTwips);

    // --- calls into work of later screens (configuration files, manual) ----------------------
    void LoadConfigFile(const QString& path);
    void Apri(const QString& fileName, const QString& title);

    // --- "Send Sequence" frame -----------------------------------------------------------------
    void Timer1_Timer();

    Player& m_player;
    UiServices& m_ui;
    Clock& m_clock;
    QString m_configFilePath;
    QTimer* m_timer1 = nullptr;
    QTimer* m_tmrTimeOut = nullptr;
};

// Maps the classic font families the layout asks for to the metric-compatible faces a Linux
// desktop has (Liberation), so that captions fit their boxes as they were designed to.
void InstallClassicFontSubstitutes();

// Caption and title pieces built from the version numbers.
QString ProgramCaption();  // "Calvento v3.1 by Kolbex"

}  // namespace calvento

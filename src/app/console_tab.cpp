// The "Console" tab. See console_tab.h.
#include "app/console_tab.h"

#include <QHeaderView>
#include <QShortcut>
#include <QSignalBlocker>

#include "app/dialog.h"
#include "app/entry_fields.h"
#include "config/field_text.h"
#include "session/send_log.h"
#include "ui_console_tab.h"

namespace calvento {

namespace {

// The log's columns the table shows, by their place in the file.
constexpr int kLocalTime = 1, kCommand = 4, kSequence = 5, kOutcome = 12, kReply = 14;
// The monitor keeps this many lines, the oldest dropped.
constexpr int kHeardLines = 500;
// The lines of the log the table keeps: a long log is read to its end, but the table shows
// the most recent sends.
constexpr int kShownLogLines = 200;

}  // namespace

ConsoleTab::ConsoleTab(QWidget* parent)
    : QWidget(parent), m_form(std::make_unique<Ui::ConsoleTab>()), ui(*m_form) {
    ui.setupUi(this);
    ui.layCommands->setRowStretch(kCommandCount, 1);  // the buttons stay at the top
    m_fields = new EntryFields(this);

    // --- the site row ----------------------------------------------------------------------
    connect(ui.cmbSite, &QComboBox::activated, this, &ConsoleTab::cmbSite_Click);
    connect(ui.cmdNewSite, &QPushButton::clicked, this, &ConsoleTab::newSiteRequested);
    connect(ui.cmdRemoveSite, &QPushButton::clicked, this, &ConsoleTab::removeSiteRequested);
    connect(ui.chkConsolePtt, &QCheckBox::clicked, this, &ConsoleTab::pttToggled);
    connect(ui.chkConfirm, &QCheckBox::clicked, this, &ConsoleTab::confirmToggled);
    connect(ui.cmdStop, &QPushButton::clicked, this, &ConsoleTab::stopRequested);
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_escape->setContext(Qt::WindowShortcut);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &ConsoleTab::stopRequested);

    // --- the command buttons -----------------------------------------------------------------
    for (int i = 0; i < kCommandCount; ++i)
        connect(cmdCommand(i), &QPushButton::clicked, this, [this, i] { cmdCommand_Click(i); });

    // --- F2 to F12 -----------------------------------------------------------------------------
    connectUserSequences();

    // --- the log -------------------------------------------------------------------------------
    ui.tblLog->setColumnCount(5);
    ui.tblLog->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Command"),
                                          QStringLiteral("Sequence"), QStringLiteral("Outcome"),
                                          QStringLiteral("Reply")});
    ui.tblLog->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(ui.tblLog, &QTableWidget::itemSelectionChanged, this,
            [this] { ui.cmdSendAgain->setEnabled(!m_sending && ui.tblLog->currentRow() >= 0); });
    connect(ui.tblLog, &QTableWidget::cellDoubleClicked, this, &ConsoleTab::cmdSendAgain_Click);
    connect(ui.cmdSendAgain, &QPushButton::clicked, this, &ConsoleTab::cmdSendAgain_Click);

    // --- the receiver --------------------------------------------------------------------------
    connect(ui.chkMonitor, &QCheckBox::toggled, this, &ConsoleTab::monitorToggled);
}

ConsoleTab::~ConsoleTab() = default;

void ConsoleTab::setSending(bool sending) {
    m_sending = sending;
    ui.cmdStop->setEnabled(sending);
    m_escape->setEnabled(sending);
    ui.cmdSendAgain->setEnabled(!sending && ui.tblLog->currentRow() >= 0);
    setSiteLocked(m_siteLocked);
}

void ConsoleTab::showStatus(const QString& text) {
    SetStatusText(ui.lblConsoleStatus, text, QStringLiteral("Console status"));
}

// ---- the site row -------------------------------------------------------------------------------

void ConsoleTab::showSites(const QStringList& names, int current) {
    const QSignalBlocker quiet(ui.cmbSite);
    ui.cmbSite->clear();
    ui.cmbSite->addItems(names);
    ui.cmbSite->setCurrentIndex(current);
    ui.cmdRemoveSite->setEnabled(current > 0 && !m_siteLocked && !m_sending);
}

void ConsoleTab::cmbSite_Click(int index) {
    emit siteChosen(index);
}

void ConsoleTab::setSiteLocked(bool locked) {
    m_siteLocked = locked;
    const bool free = !locked && !m_sending;
    ui.cmbSite->setEnabled(free);
    ui.cmdNewSite->setEnabled(free);
    ui.cmdRemoveSite->setEnabled(free && ui.cmbSite->currentIndex() > 0);
}

void ConsoleTab::showRadio(const QString& text, bool ready) {
    ui.lblRadio->setText(ready ? text : text + QStringLiteral(" - not ready"));
    ui.lblRadio->setStyleSheet(ready ? QString() : QStringLiteral("color: red"));
    ui.lblRadio->setAccessibleName(ui.lblRadio->text());
}

void ConsoleTab::showPtt(bool on) {
    ui.chkConsolePtt->setChecked(on);
}

void ConsoleTab::showConfirm(bool on) {
    ui.chkConfirm->setChecked(on);
}

// ---- the command buttons ------------------------------------------------------------------------

QPushButton* ConsoleTab::cmdCommand(int index) const {
    return findChild<QPushButton*>(QStringLiteral("cmdCommand_%1").arg(index));
}

// One button for each stored command, labelled with its function and its digits, two to a row
// in the commands' order; an empty command has no button.
void ConsoleTab::showCommands(const DecoderConfig& config) {
    int shown = 0;
    for (int i = 0; i < kCommandCount; ++i) {
        m_commands[static_cast<size_t>(i)] =
            QString::fromLatin1(config.commands[static_cast<size_t>(i)].c_str());
        const QString& digits = m_commands[static_cast<size_t>(i)];
        QPushButton* b = cmdCommand(i);
        b->setText(CommandLabel(i) + QStringLiteral("  ") + digits);
        b->setToolTip(b->text());
        b->setVisible(!digits.isEmpty());
        if (digits.isEmpty()) continue;
        ui.layCommands->addWidget(b, shown / 2, shown % 2);
        ++shown;
    }
    ui.lblNoCommands->setVisible(shown == 0);
}

void ConsoleTab::cmdCommand_Click(int index) {
    if (m_sending) return;
    emit sendRequested(CommandLabel(index), m_commands[static_cast<size_t>(index)]);
}

// ---- F2 to F12 ----------------------------------------------------------------------------------

void ConsoleTab::connectUserSequences() {
    for (int i = 0; i < Site::kUserSequences; ++i) {
        auto* name = findChild<QLineEdit*>(QStringLiteral("txtUserName_%1").arg(i));
        auto* sequence = findChild<QLineEdit*>(QStringLiteral("txtUserSeq_%1").arg(i));
        // The sequence takes what the send field takes; Enter in it sends it.
        m_fields->filter(sequence, &FilterSequenceKey, [this, i] { cmdUser_Click(i); });
        for (QLineEdit* f : {name, sequence})
            connect(f, &QLineEdit::editingFinished, this, [this] { emit userSequencesEdited(); });
        connect(findChild<QPushButton*>(QStringLiteral("cmdUser_%1").arg(i)), &QPushButton::clicked,
                this, [this, i] { cmdUser_Click(i); });
        // F2 to F12 wherever the focus is in the window, but only while this tab is shown.
        auto* key = new QShortcut(QKeySequence(Qt::Key_F2 + i), this);
        key->setContext(Qt::WindowShortcut);
        connect(key, &QShortcut::activated, this, [this, i] {
            if (isVisible()) cmdUser_Click(i);
        });
    }
}

void ConsoleTab::showUserSequences(const std::array<UserSequence, Site::kUserSequences>& s) {
    for (int i = 0; i < Site::kUserSequences; ++i) {
        findChild<QLineEdit*>(QStringLiteral("txtUserName_%1").arg(i))
            ->setText(s[static_cast<size_t>(i)].name);
        findChild<QLineEdit*>(QStringLiteral("txtUserSeq_%1").arg(i))
            ->setText(s[static_cast<size_t>(i)].sequence);
    }
}

std::array<UserSequence, Site::kUserSequences> ConsoleTab::userSequences() const {
    std::array<UserSequence, Site::kUserSequences> s;
    for (int i = 0; i < Site::kUserSequences; ++i)
        s[static_cast<size_t>(i)] = {
            findChild<QLineEdit*>(QStringLiteral("txtUserName_%1").arg(i))->text().trimmed(),
            findChild<QLineEdit*>(QStringLiteral("txtUserSeq_%1").arg(i))->text()};
    return s;
}

void ConsoleTab::cmdUser_Click(int index) {
    if (m_sending) return;
    const UserSequence u = userSequences()[static_cast<size_t>(index)];
    if (u.sequence.isEmpty()) {
        showStatus(QStringLiteral("F%1 holds no sequence.").arg(index + 2));
        return;
    }
    emit sendRequested(u.name.isEmpty() ? QStringLiteral("F%1").arg(index + 2) : u.name,
                       u.sequence);
}

// ---- the log ------------------------------------------------------------------------------------

void ConsoleTab::showLog(const std::vector<QStringList>& records) {
    const size_t first = records.size() > kShownLogLines ? records.size() - kShownLogLines : 0;
    m_logShown.assign(records.rbegin(), records.rend() - static_cast<std::ptrdiff_t>(first));
    ui.tblLog->clearContents();
    ui.tblLog->setRowCount(static_cast<int>(m_logShown.size()));
    for (int row = 0; row < ui.tblLog->rowCount(); ++row) {
        const QStringList& r = m_logShown[static_cast<size_t>(row)];
        int column = 0;
        // The local time without its year and with a space: "12-11 14:28:25".
        const QString when = r.value(kLocalTime).mid(5).replace(QLatin1Char('T'), QLatin1Char(' '));
        const QString details = QStringLiteral("%1  %2  %3  %4  %5")
                                    .arg(r.value(kLocalTime), r.value(kCommand), r.value(kSequence),
                                         r.value(kOutcome), r.value(kReply));
        for (const QString& text :
             {when, r.value(kCommand), r.value(kSequence), r.value(kOutcome), r.value(kReply)}) {
            auto* item = new QTableWidgetItem(text);
            item->setToolTip(details);
            ui.tblLog->setItem(row, column++, item);
        }
    }
    ui.cmdSendAgain->setEnabled(false);
}

// --- the receiver ------------------------------------------------------------------------------

void ConsoleTab::showHeard(const QString& when, const DecodedItem& item) {
    ui.lstHeard->addItem(QStringLiteral("%1  %2  %3")
                             .arg(when,
                                  item.kind == DecodedItem::Kind::Dtmf ? QStringLiteral("DTMF ")
                                                                       : QStringLiteral("Morse"),
                                  QString::fromStdString(item.text)));
    while (ui.lstHeard->count() > kHeardLines) delete ui.lstHeard->takeItem(0);
    ui.lstHeard->scrollToBottom();
}

void ConsoleTab::showMonitor(bool on) {
    const QSignalBlocker quiet(ui.chkMonitor);
    ui.chkMonitor->setChecked(on);
}

void ConsoleTab::cmdSendAgain_Click() {
    const int row = ui.tblLog->currentRow();
    if (m_sending || row < 0 || row >= static_cast<int>(m_logShown.size())) return;
    const QStringList& r = m_logShown[static_cast<size_t>(row)];
    if (r.value(kSequence).isEmpty()) return;
    emit sendRequested(r.value(kCommand), r.value(kSequence));
}

}  // namespace calvento

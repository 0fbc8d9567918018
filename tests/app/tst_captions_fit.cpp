// A look at the window on a real X server with the fonts the machine really has: each tab is
// shown and saved as a screenshot (screenshots/ in the build folder), and every caption, title
// and fixed text must fit its box as the screen draws it, measured with the running fonts.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>

#include <QRegularExpression>
#include "app/dialog.h"
#include "app/radio_interface.h"
#include "tone/player.h"
#include "window_rig.h"

using namespace calvento;
using namespace calvento::test;

namespace {

// What does not fit in the visible part of the window, one line each.
// A caption as it shows: a mnemonic's "&" is not drawn.
QString shown(QString text) {
    return text.replace("&&", QChar(1)).remove('&').replace(QChar(1), '&');
}

QStringList misfits(QWidget* window) {
    QStringList out;
    auto visible = [window](QWidget* w) { return w->isVisibleTo(window); };
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (!visible(l) || l->text().isEmpty()) continue;
        const QFontMetrics fm = l->fontMetrics();
        if (l->wordWrap()) {
            const QRect need =
                fm.boundingRect(QRect(0, 0, l->width(), 10000), Qt::TextWordWrap, l->text());
            if (need.height() > l->height()) out << l->objectName() + ": wrapped text too tall";
        } else if (fm.horizontalAdvance(shown(l->text())) > l->width()) {
            out << QStringLiteral("%1 \"%2\": %3 px in %4")
                       .arg(l->objectName(), l->text())
                       .arg(fm.horizontalAdvance(shown(l->text())))
                       .arg(l->width());
        }
    }
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!visible(b) || b->text().isEmpty() || qobject_cast<QTabBar*>(b->parentWidget()))
            continue;
        const int text = b->fontMetrics().horizontalAdvance(shown(b->text()));
        int room = b->width() - 8;  // a push button's frame and padding
        if (auto* check = qobject_cast<QCheckBox*>(b)) {
            QStyleOptionButton opt;
            opt.initFrom(check);
            room = check->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, check).width();
        }
        if (text > room)
            out << QStringLiteral("%1 \"%2\": %3 px in %4")
                       .arg(b->objectName(), b->text())
                       .arg(text)
                       .arg(room);
    }
    for (QGroupBox* g : window->findChildren<QGroupBox*>()) {
        if (!visible(g)) continue;
        const int text = g->fontMetrics().horizontalAdvance(g->title());
        if (text + 8 > g->width())
            out << QStringLiteral("%1 \"%2\": %3 px in %4")
                       .arg(g->objectName(), g->title())
                       .arg(text)
                       .arg(g->width());
    }
    for (QTabBar* bar : window->findChildren<QTabBar*>()) {
        if (!visible(bar)) continue;
        for (int i = 0; i < bar->count(); ++i) {
            const int text = bar->fontMetrics().horizontalAdvance(bar->tabText(i));
            if (text + 4 > bar->tabRect(i).width() || bar->tabRect(i).right() > bar->width())
                out << "tab \"" + bar->tabText(i) + "\" is cut";
        }
    }
    // Fields must show the text they hold.
    for (QLineEdit* e : window->findChildren<QLineEdit*>()) {
        if (!visible(e) || e->text().isEmpty()) continue;
        const int text = e->fontMetrics().horizontalAdvance(e->text());
        const int room = e->contentsRect().width() - 4;
        if (text > room)
            out << QStringLiteral("%1 \"%2\": %3 px in %4")
                       .arg(e->objectName(), e->text())
                       .arg(text)
                       .arg(room);
    }
    return out;
}

}  // namespace

class TstCaptionsFit : public QObject {
    Q_OBJECT
private slots:
    void everyTabFits_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("commandTab");
        QTest::newRow("Direct Programming, Default Commands") << 0 << 0;
        QTest::newRow("Direct Programming, Special Commands") << 0 << 1;
        QTest::newRow("Remote Modify / Send") << 1 << 0;
    }
    void everyTabFits() {
        QFETCH(int, tab);
        QFETCH(int, commandTab);
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs a real X server (run beside with_xvfb.sh)");
        Rig r;
        FrmTone& w = r.open();
        controls(w).SSTab1->setCurrentIndex(tab);
        controls(w).SSTabCmd->setCurrentIndex(commandTab);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(100);
        QDir().mkpath(QStringLiteral(CALVENTO_SCREENSHOT_DIR));
        const QString name = QString::fromLatin1(QTest::currentDataTag())
                                 .replace(QRegularExpression("[^A-Za-z]+"), "_");
        QVERIFY(w.grab().save(QStringLiteral(CALVENTO_SCREENSHOT_DIR "/") + name + ".png"));
        QStringList bad = misfits(&w);
        // The send status line holds its longest texts too.
        for (const QString& status :
             {QStringLiteral("Sequence completed.\r\nEffective time = ") + EffectiveTimeText(9999),
              QStringLiteral("Sequence completed.\r\nEffective time = ") + EffectiveTimeText(99999),
              QStringLiteral("PTT NOT keyed!\r\nEffective time = ") + EffectiveTimeText(99999),
              QStringLiteral("On the default device!\r\nEffective time = ") +
                  EffectiveTimeText(99999),
              QStringLiteral("Sequence NOT completed!"), QStringLiteral("Sending Sequence.....")}) {
            QLabel* info = controls(w).lblInfoSend;
            const QRect need = info->fontMetrics().boundingRect(QRect(0, 0, info->width(), 10000),
                                                                Qt::TextWordWrap, status);
            if (need.height() > info->height()) bad << "lblInfoSend cannot show: " + status;
        }
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join("\n")));
    }

    void theRadioInterfaceDialogFits() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs a real X server");
        Rig r;
        r.audio.deviceList = {{"sink.default", "Built-in Audio Analog Stereo"},
                              {"sink.usb", "USB Audio CODEC Analog Stereo"}};
        FrmTone& w = r.open();
        w.show();
        QTest::mouseClick(controls(w).cmdRadio, Qt::LeftButton);
        RadioInterfaceDialog* d = w.radioInterfaceDialog();
        QVERIFY(d);
        controls(*d).cmbPtt->setCurrentIndex(int(RadioInterface::Ptt::Hamlib));
        QVERIFY(QTest::qWaitForWindowExposed(d));
        const QStringList bad = misfits(d);
        QVERIFY(d->grab().save(QStringLiteral(CALVENTO_SCREENSHOT_DIR "/radio_interface.png")));
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join("\n")));
    }

    // Behind the main window once a field was clicked, the status window comes to the front
    // again when a run shows its progress, so that a failure cannot pass for a success.
    void theStatusWindowComesToTheFront() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs a real X server");
        qputenv("CALVENTO_COM1", "fake1");
        Rig r;
        FrmTone& w = r.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        controls(w).txtPrgComm->setText("1");
        controls(w).chkPrg->setChecked(true);
        Dialog& d = w.statusWindow();
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        w.activateWindow();
        QTest::mouseClick(controls(w).txtMem_0, Qt::LeftButton);
        QTRY_VERIFY(w.isActiveWindow());
        QTest::mouseClick(controls(w).cmdRead, Qt::LeftButton);  // no board: it fails
        QTRY_VERIFY(d.isActiveWindow());
        QVERIFY(controls(d).lblInfo->text().startsWith("FAILED"));
    }

    void theStatusWindowFitsItsTexts() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("needs a real X server");
        Rig r;
        FrmTone& w = r.open();
        Dialog& d = w.statusWindow();
        for (const char* text : {"FAILED to get Version!  Unable to program, please check Decoder",
                                 "Wrong version detected: DTMF Decoder v2.0 by Kolbex\r\nUse DTMF "
                                 "Decoder v3.1 by Kolbex !",
                                 "Data from DTMF Decoder v3.1 by Kolbex successfully read",
                                 "Error programming DTMF Decoder v3.1 by Kolbex\r\nDiffers: "
                                 "9: CW Reply Enable/Disable and 17 more",
                                 "Nothing was programmed: the board keeps its configuration."}) {
            controls(d).lblInfo->setText(text);
            const QRect need = controls(d).lblInfo->fontMetrics().boundingRect(
                QRect(0, 0, controls(d).lblInfo->width(), 10000), Qt::TextWordWrap, text);
            QVERIFY2(need.height() <= controls(d).lblInfo->height(), text);
        }
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(d.grab().save(QStringLiteral(CALVENTO_SCREENSHOT_DIR "/status_window.png")));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallClassicFontSubstitutes();
    TstCaptionsFit t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_captions_fit.moc"

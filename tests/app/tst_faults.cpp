// Faults from the field, survived: a settings folder the program may not write to, and a disk
// that fills up during a configuration save. Both are real file systems (small tmpfs mounts,
// so these tests need root; they are skipped without it).
#include <sys/mount.h>
#include <unistd.h>
#include <QApplication>
#include <QSignalSpy>

#include "window_rig.h"

using namespace calvento;
using namespace calvento::test;

namespace {

// A small file system mounted for one test, unmounted when done.
struct SmallDisk {
    QString path;
    bool mounted = false;
    SmallDisk(const QString& where, int kilobytes) : path(where) {
        QDir().mkpath(path);
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
        mounted = geteuid() == 0 && ::mount("tmpfs", path.toLocal8Bit().constData(), "tmpfs", 0,
                                            options.constData()) == 0;
    }
    bool makeReadOnly() {
        return ::mount("tmpfs", path.toLocal8Bit().constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                       nullptr) == 0;
    }
    // Fills the disk until nothing more fits.
    void fill() {
        QFile filler(path + "/filler");
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    ~SmallDisk() {
        if (mounted) ::umount2(path.toLocal8Bit().constData(), MNT_DETACH);
    }
};

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TstFaults : public QObject {
    Q_OBJECT
private slots:
    void aSettingsFolderWithoutWriteAccess() {
        QTemporaryDir outer;
        SmallDisk disk(outer.filePath("home"), 256);
        if (!disk.mounted) QSKIP("mounting a small file system needs root");
        QVERIFY(QFile::copy(QStringLiteral(CALVENTO_DATA_DIR "/Default31.prg"),
                            disk.path + "/Default31.prg"));
        QVERIFY(disk.makeReadOnly());

        Rig r(nullptr, false);
        qputenv("CALVENTO_HOME", disk.path.toUtf8());
        FrmTone& w = r.open();
        // Defaults, and the shipped configuration read from the read-only folder.
        QCOMPARE(controls(w).Text2->text(), QStringLiteral("60"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Calvento v3.1 - Default31.prg"));
        QVERIFY(r.ui.messages.empty());
        QSignalSpy closed(&w, &FrmTone::closed);
        QVERIFY(w.close());
        QCOMPARE(closed.count(), 1);                // the program still ends
        QCOMPARE(r.ui.messages.size(), size_t(1));  // told once
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Warning"));
        QVERIFY(
            r.ui.messages[0].text.startsWith("The settings could not be saved to " + disk.path));
        QVERIFY(!QFile::exists(disk.path + "/Calvento31.ini"));
    }

    void aDiskThatFillsUpDuringASave() {
        QTemporaryDir outer;
        SmallDisk disk(outer.filePath("full"), 64);
        if (!disk.mounted) QSKIP("mounting a small file system needs root");
        const QString target = disk.path + "/board.prg";
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("the old configuration\r\n");
        }
        disk.fill();

        Rig r;
        FrmTone& w = r.open();
        const QString caption = w.windowTitle();
        r.ui.fileAnswer = target;
        QTest::mouseClick(controls(w).cmdSave, Qt::LeftButton);
        QCOMPARE(r.ui.messages.size(), size_t(1));
        QCOMPARE(r.ui.messages[0].title, QStringLiteral("Warning"));
        QCOMPARE(contentOf(target), QByteArray("the old configuration\r\n"));
        QCOMPARE(w.windowTitle(), caption);
        QCOMPARE(w.configFilePath(), r.defaultConfig());
        // Nothing half-written is left beside it either.
        QStringList left = QDir(disk.path).entryList(QDir::Files);
        left.removeAll("filler");
        QCOMPARE(left, QStringList{"board.prg"});
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallClassicFontSubstitutes();
    TstFaults t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_faults.moc"

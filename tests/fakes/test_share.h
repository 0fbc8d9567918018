// Splitting a long test executable over several ctest entries, so that ctest can run them side
// by side: with CALVENTO_TEST_SHARE=k/n in the environment, only the test functions and data
// rows whose name falls to share k of n run here, and the others are skipped; without it every
// one runs. Every row falls to exactly one share, so a new one can never be left out, and the
// rows of one long table spread over the shares. Call it from the test class's init().
#pragma once

#include <QTest>

namespace calvento::test {

inline void RunOnlyThisShare() {
    const QByteArray share = qgetenv("CALVENTO_TEST_SHARE");
    const qsizetype slash = share.indexOf('/');
    if (slash < 0) return;
    const uint k = share.left(slash).toUInt();
    const uint n = share.mid(slash + 1).toUInt();
    if (n < 2) return;
    const QByteArray name =
        QByteArray(QTest::currentTestFunction()) + '/' + QByteArray(QTest::currentDataTag());
    if (qHash(name, 0) % n != k) QSKIP("run by another share of this test");
}

}  // namespace calvento::test

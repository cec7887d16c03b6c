// What a window's saves do with the log, as its keeper remembers the saves before.
#include "store/LogKeeper.h"
#include "survey/AddressList.h"

#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestLogKeeper : public QObject {
    Q_OBJECT
private slots:
    void savesJudgeTheLogByTheLastSave_data();
    void savesJudgeTheLogByTheLastSave();
};

void TestLogKeeper::savesJudgeTheLogByTheLastSave_data()
{
    // In turn: "other" another program rewrites the log, "survey" adds a row to the
    // window's list, "save" saves it (a session's end, then the window's).
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QByteArray>("log"); // at the end
    QTest::addColumn<int>("copies");     // of other programs' lists, beside the log
    QTest::newRow("its own save is no other program's at the next")
        << u"survey save survey save"_s
        << QByteArray("198.18.0.5,pc05,\r\n198.18.0.10,,\r\n198.18.0.11,,\r\n") << 0;
    QTest::newRow("a newer log left alone is still another's once the list changes")
        << u"other save survey save"_s << QByteArray("198.18.0.5,pc05,\r\n198.18.0.10,,\r\n") << 1;
}

void TestLogKeeper::savesJudgeTheLogByTheLastSave()
{
    QFETCH(QString, steps);
    QFETCH(QByteArray, log);
    QFETCH(int, copies);
    const QTemporaryDir dir;
    const QString path = dir.filePath(u"Netroscope.log"_s);
    QVERIFY(TestFiles::writeBytes(path, "198.18.0.5,pc05,\r\n"));
    LogKeeper keeper(path);
    const LogKeeper::Start start = LogKeeper::readAtStart(path);
    QStringList list = QStringList{AddressList::csvHeader()} + start.list.rows;
    keeper.started(start, list);
    for (const QString& step : steps.split(u' ')) {
        if (step == u"other")
            QVERIFY(TestFiles::writeBytes(path, "198.18.0.9,nightly,02-00-00-00-00-09\r\n"));
        else if (step == u"survey")
            list.append(u"198.18.0.%1,,"_s.arg(list.size() + 8));
        else
            QVERIFY(keeper.saveAtEnd(list).ok);
    }
    QCOMPARE(TestFiles::readBytes(path), log);
    QCOMPARE(QDir(dir.path()).entryList({u"Netroscope-*.csv"_s}, QDir::Files).size(), copies);
}

QTEST_GUILESS_MAIN(TestLogKeeper)
#include "tst_logkeeper.moc"

#include "text/TextFile.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestTextFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void writeTestLeavesNothing_data();
    void writeTestLeavesNothing();
    void removeTellsWhetherThePathIsClear();
    void writeReplacesWholeFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList entries() const
    {
        return QDir(m_dir->path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

void TestTextFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTextFile::writeTestLeavesNothing_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("expected");
    QTest::newRow("new file") << u"probe.txt"_s << true;
    QTest::newRow("existing file") << u"old.txt"_s << true;
    QTest::newRow("missing directory") << u"nodir/probe.txt"_s << false;
    QTest::newRow("below a regular file") << u"old.txt/probe.txt"_s << false;
    QTest::newRow("a directory") << u"sub"_s << false;
    QTest::newRow("empty path") << QString() << false;
}

void TestTextFile::writeTestLeavesNothing()
{
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    QVERIFY(TestFiles::writeBytes(m_dir->filePath(u"old.txt"_s), "keep"));
    QVERIFY(QDir(m_dir->path()).mkdir(u"sub"_s));
    const QStringList before = entries();

    const QString path = relative.isEmpty() ? QString() : m_dir->filePath(relative);
    QCOMPARE(TextFile::writeTest(path), expected);

    // A probe of an existing file deletes it, as the probe is meant for scratch names.
    QStringList after = before;
    if (relative == u"old.txt"_s)
        after.removeOne(u"old.txt"_s);
    QCOMPARE(entries(), after);
    QVERIFY(QFileInfo(m_dir->filePath(u"sub"_s)).isDir());
}

void TestTextFile::removeTellsWhetherThePathIsClear()
{
    const QString file = m_dir->filePath(u"f"_s);
    QVERIFY(TestFiles::writeBytes(file, "x"));
    QVERIFY(TextFile::remove(file));
    QVERIFY(!QFile::exists(file));
    QVERIFY(TextFile::remove(file)); // already gone
    QVERIFY(TextFile::remove(QString()));
    QVERIFY(QDir(m_dir->path()).mkdir(u"d"_s));
    QVERIFY(!TextFile::remove(m_dir->filePath(u"d"_s)));
}

void TestTextFile::writeReplacesWholeFile()
{
    const QString file = m_dir->filePath(u"f.txt"_s);
    QVERIFY(TestFiles::writeBytes(file, QByteArray(1000, 'z')));
    QVERIFY(TextFile::write(file, {u"a"_s, QString(), u"～"_s}).ok);
    QCOMPARE(TestFiles::readBytes(file), QByteArray("a\r\n\r\n" + TestFiles::hex("8160") + "\r\n"));
    // No temporary file is left beside it.
    QCOMPARE(entries(), QStringList{u"f.txt"_s});
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"

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
    QTest::newRow("another user's link") << u"planted"_s << true;
    QTest::newRow("missing directory") << u"nodir/probe.txt"_s << false;
    QTest::newRow("below a regular file") << u"old.txt/probe.txt"_s << false;
    QTest::newRow("a directory") << u"sub"_s << true;
    QTest::newRow("empty path") << QString() << false;
}

void TestTextFile::writeTestLeavesNothing()
{
    QFETCH(QString, relative);
    QFETCH(bool, expected);
    QVERIFY(TestFiles::writeBytes(m_dir->filePath(u"old.txt"_s), "keep"));
    QVERIFY(QDir(m_dir->path()).mkdir(u"sub"_s));
    QVERIFY(QFile::link(m_dir->filePath(u"old.txt"_s), m_dir->filePath(u"planted"_s)));
    if (!TestFiles::handToAnotherUser(m_dir->filePath(u"planted"_s)) && relative == u"planted"_s)
        QSKIP("Only root can hand a link to another user");
    const QStringList before = entries();

    const QString path = relative.isEmpty() ? QString() : m_dir->filePath(relative);
    QCOMPARE(TextFile::writeTest(path), expected);

    // Whatever is at the name, a link too, is neither opened nor deleted.
    QCOMPARE(entries(), before);
    QCOMPARE(TestFiles::readBytes(m_dir->filePath(u"old.txt"_s)), QByteArray("keep"));
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
    QVERIFY(TestFiles::writeBytes(file, "x")); // another user's is theirs to delete
    if (TestFiles::handToAnotherUser(file))
        QVERIFY(!TextFile::remove(file) && QFile::exists(file));
}

void TestTextFile::writeReplacesWholeFile()
{
    const QString file = m_dir->filePath(u"f.txt"_s);
    QVERIFY(TestFiles::writeBytes(file, QByteArray(1000, 'z')));
    QVERIFY(TextFile::write(file, {u"a"_s, QString(), u"～"_s}).ok);
    QCOMPARE(TestFiles::readBytes(file), QByteArray("a\r\n\r\n" + TestFiles::hex("8160") + "\r\n"));
    // No temporary file is left beside it.
    QCOMPARE(entries(), QStringList{u"f.txt"_s});
    // Through the user's own link, the file it leads to.
    QVERIFY(QFile::link(file, m_dir->filePath(u"link"_s)));
    QVERIFY(TextFile::write(m_dir->filePath(u"link"_s), {u"b"_s}).ok);
    QCOMPARE(TestFiles::readBytes(file), QByteArray("b\r\n"));
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"

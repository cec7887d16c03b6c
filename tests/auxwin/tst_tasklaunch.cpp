#include "ScriptedDialogs.h"

#include "auxwin/TaskLaunch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestTaskLaunch : public QObject {
    Q_OBJECT
private slots:
    void charChkFindsFirstOrCountsAll_data();
    void charChkFindsFirstOrCountsAll();
    void planTaskPicksTheCase_data();
    void planTaskPicksTheCase();
    void tskKidouStartsOnlyWhatExists();
};

void TestTaskLaunch::charChkFindsFirstOrCountsAll_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("count");

    const QString path = u"C:\\Tools\\Net\\help.hlp"_s;
    QTest::newRow("every separator") << 1 << path << u"\\"_s << 13 << 3;
    QTest::newRow("first separator") << 0 << path << u"\\"_s << 3 << 1;
    QTest::newRow("overlapping") << 1 << u"aaa"_s << u"aa"_s << 2 << 2;
    QTest::newRow("absent, counting") << 1 << path << u"/"_s << 0 << 0;
    QTest::newRow("absent, first") << 0 << path << u"/"_s << 0 << 0;
    QTest::newRow("case-sensitive") << 1 << u"a.exe A.EXE "_s << u".EXE "_s << 8 << 1;
}

void TestTaskLaunch::charChkFindsFirstOrCountsAll()
{
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    const CharMatch match = CharChk(mode, text, pattern);
    QTEST(int(match.position), "position");
    QTEST(int(match.count), "count");
}

void TestTaskLaunch::planTaskPicksTheCase_data()
{
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("programDir");
    // "program arguments" for a program, "file|working directory" for a document.
    QTest::addColumn<QString>("planned");

    const QString win = u"C:\\Apps\\Netroscope"_s;
    const QString lin = u"/opt/netroscope/bin"_s;
    QTest::newRow("win program with argument") << u"\\"_s << u"C:\\Tools\\viewer.exe C:\\doc.txt"_s
                                               << win << u"C:\\Tools\\viewer.exe C:\\doc.txt"_s;
    // "ß" upper-cases to two letters; the program's name must still end where it ends.
    QTest::newRow("win program after a sharp s")
        << u"\\"_s << u"C:\\straße\\a.exe x"_s << win << u"C:\\straße\\a.exe x"_s;
    QTest::newRow("win bare name")
        << u"\\"_s << u"Netroscope.hlp"_s << win << u"Netroscope.hlp|C:\\Apps\\Netroscope"_s;
    QTest::newRow("win parent") << u"\\"_s << u"..\\readme.txt"_s << win
                                << u"C:\\Apps\\readme.txt|C:\\Apps\\"_s;
    QTest::newRow("win two parents, a folder")
        << u"\\"_s << u"..\\..\\docs\\manual.pdf"_s << win << u"C:\\docs\\manual.pdf|C:\\docs"_s;
    QTest::newRow("win parent of the root stays at the root")
        << u"\\"_s << u"..\\..\\..\\x.txt"_s << win << u"C:\\x.txt|C:\\"_s;
    QTest::newRow("win help path")
        << u"\\"_s << u"C:\\Apps\\Netroscope\\Netroscope.hlp"_s << win
        << u"C:\\Apps\\Netroscope\\Netroscope.hlp|C:\\Apps\\Netroscope"_s;
    QTest::newRow("linux parent")
        << u"/"_s << u"../share/netroscope/Netroscope.html"_s << lin
        << u"/opt/netroscope/share/netroscope/Netroscope.html|/opt/netroscope/share/netroscope"_s;
    QTest::newRow("linux help path")
        << u"/"_s << u"/usr/share/netroscope/Netroscope.html"_s << lin
        << u"/usr/share/netroscope/Netroscope.html|/usr/share/netroscope"_s;
    // Only a leading "../" climbs; the "../" inside belongs to the rest of the path.
    QTest::newRow("linux inner parent kept")
        << u"/"_s << u"../a/../b.txt"_s << lin
        << u"/opt/netroscope/a/../b.txt|/opt/netroscope/a/.."_s;
    QTest::newRow("win inner parent kept")
        << u"\\"_s << u"..\\a\\..\\b.txt"_s << win << u"C:\\Apps\\a\\..\\b.txt|C:\\Apps\\a\\.."_s;
}

void TestTaskLaunch::planTaskPicksTheCase()
{
    QFETCH(QString, separator);
    QFETCH(QString, path);
    QFETCH(QString, programDir);
    const TaskPlan plan = planTask(path, programDir, separator.at(0));
    const QString planned = plan.kind == TaskPlan::Program
                                ? plan.program + u' ' + plan.arguments
                                : plan.file + u'|' + plan.workingDirectory;
    QTEST(planned, "planned");
}

void TestTaskLaunch::tskKidouStartsOnlyWhatExists()
{
    QTemporaryDir dir;
    const QString program = dir.filePath(u"tool.EXE"_s);
    QFile file(program);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    struct Case {
        const char* name;
        QString path;
        bool launcherSucceeds;
        qint16 result;
        QStringList started;
    };
    const QList<Case> cases{
        {"program present",
         program + u" --page 2"_s,
         true,
         TaskStarted,
         {program + u" --page 2"_s}},
        {"program missing", dir.filePath(u"gone.exe -x"_s), true, TaskNotStarted, {}},
        {"program refuses to start",
         program + u" -x"_s,
         false,
         TaskNotStarted,
         {program + u" -x"_s}},
        {"document opened", u"/srv/help.html"_s, true, TaskStarted, {u"/srv/help.html|/srv"_s}},
        {"no opener for the document",
         u"/srv/help.html"_s,
         false,
         TaskNotStarted,
         {u"/srv/help.html|/srv"_s}},
    };
    for (const Case& c : cases) {
        RecordingLauncher launcher;
        launcher.succeed = c.launcherSucceeds;
        QCOMPARE(TskKidou(launcher, c.path, dir.path(), u'/'), c.result);
        QVERIFY2(launcher.started == c.started, c.name);
    }
}

QTEST_GUILESS_MAIN(TestTaskLaunch)
#include "tst_tasklaunch.moc"

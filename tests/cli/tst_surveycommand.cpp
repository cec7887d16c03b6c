// The command-line survey's options: what each valid form asks for, and that every
// invalid one is refused with a message naming what is wrong.
#include "cli/SurveyCommand.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestSurveyCommand : public QObject {
    Q_OBJECT
private slots:
    void validForms_data();
    void validForms();
    void invalidForms_data();
    void invalidForms();
};

using Mode = SurveyCommand::Mode;

void TestSurveyCommand::validForms_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("mode");
    // "prefix first last", or "" for the PC's own range
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("resurvey");
    QTest::addColumn<QString>("csv");
    QTest::addColumn<bool>("log");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<bool>("stdoutRows");

    const int survey = int(Mode::Survey);
    const int resurvey = int(Mode::Resurvey);
    QTest::newRow("window: no survey option")
        << QStringList{u"-platform"_s, u"xcb"_s} << int(Mode::Window) << QString() << QString()
        << QString() << false << false << false;
    QTest::newRow("own range") << QStringList{u"--survey"_s} << survey << QString() << QString()
                               << QString() << false << false << true;
    QTest::newRow("short range") << QStringList{u"--survey"_s, u"192.168.1.1-254"_s} << survey
                                 << u"192.168.1. 1 254"_s << QString() << QString() << false
                                 << false << true;
    QTest::newRow("full range, = form, leading zeros")
        << QStringList{u"--survey=010.0.255.7-010.0.255.7"_s, u"--csv=out.csv"_s, u"-q"_s} << survey
        << u"10.0.255. 7 7"_s << QString() << u"out.csv"_s << false << true << false;
    QTest::newRow("options before the survey")
        << QStringList{u"--log"_s, u"--quiet"_s, u"--survey"_s, u"172.16.0.20-30"_s} << survey
        << u"172.16.0. 20 30"_s << QString() << QString() << true << true << true;
    QTest::newRow("resurvey in place")
        << QStringList{u"--resurvey"_s, u"list.csv"_s} << resurvey << QString() << u"list.csv"_s
        << QString() << false << false << false;
    QTest::newRow("resurvey elsewhere, with log")
        << QStringList{u"--resurvey"_s, u"in.csv"_s, u"--csv"_s, u"out.csv"_s, u"--log"_s}
        << resurvey << QString() << u"in.csv"_s << u"out.csv"_s << true << false << false;
}

void TestSurveyCommand::validForms()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, mode);
    QFETCH(QString, range);
    QFETCH(QString, resurvey);
    QFETCH(QString, csv);
    QFETCH(bool, log);
    QFETCH(bool, quiet);
    QFETCH(bool, stdoutRows);
    const SurveyCommand command = parseSurveyCommand(arguments);
    QCOMPARE(command.error, QString());
    QCOMPARE(int(command.mode), mode);
    QCOMPARE(command.hasRange, !range.isEmpty());
    if (command.hasRange) {
        QCOMPARE(command.prefix + u' ' + QString::number(command.first) + u' ' +
                     QString::number(command.last),
                 range);
    }
    QCOMPARE(command.resurveyFile, resurvey);
    QCOMPARE(command.csvFile, csv);
    QCOMPARE(command.log, log);
    QCOMPARE(command.quiet, quiet);
    QCOMPARE(command.rowsToStandardOutput(), stdoutRows);
}

void TestSurveyCommand::invalidForms_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named"); // what the message must name

    QTest::newRow("unknown option") << QStringList{u"--survey"_s, u"--fast"_s} << u"--fast"_s;
    QTest::newRow("option value on a flag")
        << QStringList{u"--survey"_s, u"--log=x"_s} << u"--log=x"_s;
    QTest::newRow("extra argument")
        << QStringList{u"--survey"_s, u"1.2.3.1-9"_s, u"more"_s} << u"more"_s;
    QTest::newRow("csv without a file") << QStringList{u"--survey"_s, u"--csv"_s} << u"--csv"_s;
    QTest::newRow("csv without a survey") << QStringList{u"--csv"_s, u"a.csv"_s} << u"--csv"_s;
    QTest::newRow("resurvey without a file") << QStringList{u"--resurvey"_s} << u"--resurvey"_s;
    QTest::newRow("both modes") << QStringList{u"--survey"_s, u"--resurvey"_s, u"a.csv"_s}
                                << u"--resurvey"_s;
    for (const QString& range :
         {u"192.168.1.1"_s, u"192.168.1-254"_s, u"192.168.1.1-2-3"_s, u"192.168.1.1-"_s,
          u"192.168.1.x-254"_s, u"192.168.1.+1-254"_s, u"192.168.1. 1-254"_s, u"1.2.3.0-254"_s,
          u"1.2.3.1-255"_s, u"256.1.1.1-2"_s, u"1.2.3.1-1.2.4.9"_s, u"1.2.3.9-1"_s,
          u"1.2.3.1-1.2.3.1.1"_s, u"1.2.3.1000-1"_s})
        QTest::newRow(qPrintable(u"range "_s + range))
            << QStringList{u"--survey"_s, range} << range;
}

void TestSurveyCommand::invalidForms()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    const SurveyCommand command = parseSurveyCommand(arguments);
    QVERIFY2(command.error.contains(named), qPrintable(command.error));
    // One line, in both languages.
    QVERIFY(!command.error.contains(u'\n'));
    QVERIFY(command.error.contains(u" / "_s));
}

QTEST_GUILESS_MAIN(TestSurveyCommand)
#include "tst_surveycommand.moc"

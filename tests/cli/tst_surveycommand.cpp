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

namespace {

// What a parsed command asks for, in one line.
QString describe(const SurveyCommand& c)
{
    QStringList parts{QStringList{u"window"_s, u"survey"_s, u"resurvey"_s}.at(int(c.mode))};
    if (c.hasRange)
        parts << c.prefix + QString::number(c.first) + u'-' + QString::number(c.last);
    if (!c.resurveyFile.isEmpty())
        parts << c.resurveyFile;
    if (!c.csvFile.isEmpty())
        parts << u"csv="_s + c.csvFile;
    if (c.log)
        parts << u"log"_s;
    if (c.quiet)
        parts << u"quiet"_s;
    if (c.rowsToStandardOutput())
        parts << u"stdout"_s;
    return parts.join(u' ');
}

} // namespace

void TestSurveyCommand::validForms_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("window: no survey option")
        << QStringList{u"-platform"_s, u"xcb"_s} << u"window"_s;
    QTest::newRow("own range") << QStringList{u"--survey"_s} << u"survey stdout"_s;
    QTest::newRow("short range") << QStringList{u"--survey"_s, u"192.168.1.1-254"_s}
                                 << u"survey 192.168.1.1-254 stdout"_s;
    QTest::newRow("full range, = form, leading zeros")
        << QStringList{u"--survey=010.0.255.7-010.0.255.7"_s, u"--csv=out.csv"_s, u"-q"_s}
        << u"survey 10.0.255.7-7 csv=out.csv quiet"_s;
    QTest::newRow("options before the survey")
        << QStringList{u"--log"_s, u"--quiet"_s, u"--survey"_s, u"172.16.0.20-30"_s}
        << u"survey 172.16.0.20-30 log quiet stdout"_s;
    QTest::newRow("resurvey in place")
        << QStringList{u"--resurvey"_s, u"list.csv"_s} << u"resurvey list.csv"_s;
    QTest::newRow("resurvey elsewhere, with log")
        << QStringList{u"--resurvey"_s, u"in.csv"_s, u"--csv"_s, u"out.csv"_s, u"--log"_s}
        << u"resurvey in.csv csv=out.csv log"_s;
}

void TestSurveyCommand::validForms()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const SurveyCommand command = parseSurveyCommand(arguments);
    QCOMPARE(command.error, QString());
    QCOMPARE(describe(command), expected);
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
          u"192.168.1.x-254"_s, u"1.2.3.0-254"_s, u"1.2.3.1-255"_s, u"256.1.1.1-2"_s,
          u"1.2.3.1-1.2.4.9"_s, u"1.2.3.9-1"_s, u"1.2.3.1-1.2.3.1.1"_s, u"1.2.3.1000-1"_s})
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

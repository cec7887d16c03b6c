#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The program as a user starts it: on a terminal, with or without a desktop.
class TestProgramStart : public QObject {
    Q_OBJECT
private slots:
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
};

void TestProgramStart::answersWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM, empty: none chosen
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // expected on stdout (status 0) or stderr
    QTest::addColumn<int>("errorLines");

    // As the about window shows it: the minor number with two digits (3.01).
    const QString version = u"Netroscope %1.%2\n"_s.arg(NETROSCOPE_VERSION_MAJOR)
                                .arg(NETROSCOPE_VERSION_MINOR, 2, 10, QChar(u'0'));
    QTest::newRow("--version") << QStringList{u"--version"_s} << QString() << 0 << version << 0;
    QTest::newRow("--help") << QStringList{u"--help"_s} << QString() << 0 << u"Netroscope.log"_s
                            << 0;
    QTest::newRow("Qt's -platform still taken")
        << QStringList{u"-platform"_s, u"offscreen"_s, u"-v"_s} << QString() << 0 << version << 0;
    QTest::newRow("no display") << QStringList{} << QString() << 1
                                << u"a graphical desktop is needed"_s << 1;
    // A usage error, named on one line and pointed to the help on another.
    QTest::newRow("unknown option")
        << QStringList{u"--surveyy"_s} << u"offscreen"_s << 2 << u"--surveyy"_s << 2;
}

void TestProgramStart::answersWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(int, errorLines);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        env.remove(name);
    env.insert(u"XDG_RUNTIME_DIR"_s, QDir::tempPath());
    if (!platform.isEmpty())
        env.insert(u"QT_QPA_PLATFORM"_s, platform);

    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(NETROSCOPE_EXE), arguments);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit); // never Qt's abort
    QCOMPARE(program.exitCode(), status);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());
    QVERIFY2((status == 0 ? out : err).contains(output), qPrintable(out + err));
    if (errorLines >= 0)
        QCOMPARE(err.count(u'\n'), errorLines);
}

QTEST_GUILESS_MAIN(TestProgramStart)
#include "tst_programstart.moc"

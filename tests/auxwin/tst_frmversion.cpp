#include "ScriptedDialogs.h"

#include "auxwin/AboutText.h"
#include "auxwin/frmVersion.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const AboutTexts kTexts{u"\u3000\u3000作者\u3000：テスト"_s, u"\u3000\u3000連絡先：t@example.org"_s,
                        u"\u3000Copyright (C) 2026 テスト"_s, u"https://netroscope.example.org/"_s};

QColor linkColour(const frmVersion& about)
{
    return about.lblHttp->palette().color(QPalette::WindowText);
}

void moveOver(QWidget* widget)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

} // namespace

class TestFrmVersion : public QObject {
    Q_OBJECT
private slots:
    void titleShowsTwoDigitMinor_data();
    void titleShowsTwoDigitMinor();
    void linkFollowsThePointerAndOpensOnClick();
    void onlyOkCloses();
};

void TestFrmVersion::titleShowsTwoDigitMinor_data()
{
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("version");
    QTest::newRow("1") << 1 << u"3.01"_s;
    QTest::newRow("5") << 5 << u"3.05"_s;
    QTest::newRow("10") << 10 << u"3.10"_s;
}

void TestFrmVersion::titleShowsTwoDigitMinor()
{
    QFETCH(int, minor);
    QFETCH(QString, version);
    const QString expected = u"\r\n"
                             "\u3000\u3000Netroscope  \u3000バージョン\u3000"_s +
                             version +
                             u"\r\n"
                             "\r\n"
                             "\u3000\u3000作者\u3000：テスト\r\n"
                             "\u3000\u3000連絡先：t@example.org\r\n"
                             "\u3000\u3000ＨＰ\u3000：\r\n"
                             "\r\n"
                             "\u3000Copyright (C) 2026 テスト\r\n"_s;
    QCOMPARE(versionTitle(3, minor, kTexts), expected);
}

void TestFrmVersion::linkFollowsThePointerAndOpensOnClick()
{
    RecordingLauncher launcher;
    frmVersion about(launcher, kTexts, nullptr);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));

    const QColor blue(0, 0, 255);
    const QColor cyan(0, 255, 255);
    QCOMPARE(about.lblHttp->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(linkColour(about), blue);
    moveOver(about.lblHttp);
    QCOMPARE(linkColour(about), cyan);
    moveOver(about.lblTitle);
    QCOMPARE(linkColour(about), blue);

    // A click sets blue again and hands the address to the browser; each click opens.
    moveOver(about.lblHttp);
    QTest::mouseClick(about.lblHttp, Qt::LeftButton);
    QCOMPARE(linkColour(about), blue);
    QTest::mouseClick(about.lblHttp, Qt::LeftButton);
    QCOMPARE(launcher.started, QStringList(2, kTexts.homepage));
}

void TestFrmVersion::onlyOkCloses()
{
    RecordingLauncher launcher;
    frmVersion about(launcher, kTexts, nullptr);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    const Qt::WindowFlags flags = about.windowFlags();
    QVERIFY(!(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                       Qt::WindowMaximizeButtonHint | Qt::WindowSystemMenuHint)));

    QVERIFY(!about.close()); // the window manager's close request, Alt+F4 included
    QTest::keyClick(&about, Qt::Key_Escape);
    QVERIFY(about.isVisible());

    QTest::keyClick(&about, Qt::Key_Return); // Enter presses OK
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestFrmVersion)
#include "tst_frmversion.moc"

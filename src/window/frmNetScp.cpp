// Start-up, shut-down and the focus behaviour of the main window.
#include "window/frmNetScp.h"

#include "store/LogKeeper.h"
#include "survey/OctetValue.h"
#include "survey/SurveyEngine.h"
#include "survey/SurveyLists.h"
#include "text/Cp932.h"
#include "window/AsyncTask.h"
#include "window/ChangeMarkModel.h"
#include "window/MessageBoxes.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

struct StartupData {
    OwnIdentity identity;
    LogKeeper::Start log; // its rows moved into `list`
    SurveyLists::Content list;
};

} // namespace

frmNetScp::frmNetScp(WindowServices services, QWidget* parent)
    : QMainWindow(parent)
    , m_services(std::move(services))
    , m_lists(std::make_unique<SurveyLists>())
{
    m_checkPool.setMaxThreadCount(4);
    setWindowTitle(u"Netroscope"_s);
    QIcon icon;
    icon.addFile(u":/icons/netroscope-16.png"_s, QSize(16, 16));
    icon.addFile(u":/icons/netroscope-32.png"_s, QSize(32, 32));
    setWindowIcon(icon);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildControls();
    buildMenu();
    applyTabOrder();
    adjustSize();
    setFixedSize(sizeHint());

    m_engine = new SurveyEngine(m_services.probes, *m_lists, this);
    connect(m_engine, &SurveyEngine::probeError, this, &frmNetScp::showProbeError);
    connect(m_engine, &SurveyEngine::neighbourTableUnread, this, &frmNetScp::showTableUnread);
    connect(m_engine, &SurveyEngine::captionChanged, this, &QWidget::setWindowTitle);
    connect(m_engine, &SurveyEngine::selectRow, this, [this](int row) {
        lstData->setCurrentIndex(m_marks->mapFromSource(m_lists->lstData()->index(row, 0)));
    });
    connect(m_engine, &SurveyEngine::finished, this, &frmNetScp::finishRun);
    for (QLineEdit* macBox : {txtMac1, txtMac2})
        connect(macBox, &QLineEdit::textChanged, this, [this, macBox] { showVendorOf(macBox); });

    // A session that ends closes the window whatever it is doing; the list is saved
    // first, with what a running re-survey has not rebuilt yet.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { sessionEnding(); });
        // The session's end reaches the windows as the application quitting, which
        // closes them; a user's close request never comes this way.
        app->installEventFilter(this);
    }
}

frmNetScp::~frmNetScp()
{
    for (const StopToken& stop : m_panelStops)
        stop.requestStop();
}

bool frmNetScp::blnCancel() const
{
    return m_engine->cancelRequested();
}

bool frmNetScp::textCodecCheck(MessageBoxes* boxes, QWidget* parent)
{
    if (Cp932::available())
        return true;
    boxes->show(parent,
                u"コードページ 932（シフトJIS）の文字変換が使えないため、起動できません。\r\n"
                u"履歴ファイルは変更していません。"_s,
                u"終了"_s, MessageBoxes::OkCritical);
    return false;
}

bool frmNetScp::Form_Load()
{
    if (!textCodecCheck(m_services.boxes, this))
        return false;
    if (!m_services.probes->toolsPresent()) {
        m_services.boxes->show(
            this, u"必要なＤＬＬがありません\r\n申し訳ありませんがこのパソコンでは使用できません"_s,
            u"終了"_s, MessageBoxes::OkCritical);
        return false;
    }
    txtPing1->setText(u"-"_s);
    txtPing2->setText(u"-"_s);
    loadVendors();

    // The identity asks the resolver and may run a command; the log may be long.
    // Neither happens on the GUI thread.
    auto probes = m_services.probes;
    const QString logPath = m_services.historyLog->path();
    runThenCallback<StartupData>(
        &m_checkPool, this,
        [probes, logPath] {
            StartupData startup;
            startup.identity = probes->ownIdentity();
            startup.log = LogKeeper::readAtStart(logPath);
            startup.list = SurveyLists::fromStored(std::exchange(startup.log.list.rows, {}));
            return startup;
        },
        [this, logPath](const StartupData& startup) {
            applyStartup(startup.identity);
            m_lists->replace(startup.list);
            m_services.historyLog->started(startup.log, startup.list.lstDat2);
            QStringList messages;
            if (!startup.log.keptCopies.isEmpty())
                messages << keptCopiesNotice(startup.log.keptCopies);
            if (m_services.historyLog->keepsLog()) {
                messages << u"履歴ファイルを読み込めませんでした。\r\n"_s + logPath + u"\r\n"_s +
                                startup.log.list.error +
                                u"\r\n\r\nこのファイルはそのまま残します。新規調査かインポートで"
                                u"一覧を作り直すと、終了時にその一覧で置き換えます。"_s;
            }
            m_pendingLogMessage = messages.join(u"\r\n\r\n"_s);
            emit loaded();
            if (isVisible())
                showPendingLogMessage();
        });
    return true;
}

void frmNetScp::showPendingLogMessage()
{
    if (m_pendingLogMessage.isEmpty())
        return;
    // Queued, so that the window is drawn before the box asks for attention.
    QMetaObject::invokeMethod(
        this,
        [this] {
            const QString text = std::exchange(m_pendingLogMessage, QString());
            if (!text.isEmpty())
                m_services.boxes->show(this, text, u"履歴ファイル"_s, MessageBoxes::OkExclamation);
        },
        Qt::QueuedConnection);
}

void frmNetScp::applyStartup(const OwnIdentity& me)
{
    m_identity = me;
    txtHost1->setText(me.pcName);
    txtHost2->setText(me.pcName);
    txtIp1->setText(me.myIp);
    txtIp2->setText(me.myIp);
    txtMac1->setText(me.myMac);
    txtMac2->setText(me.myMac);

    const QStringList octets = OctetValue::octetTexts(me.myIp);
    for (qsizetype k = 0; k < octets.size(); ++k)
        txtIP[k]->setText(octets[k]);
    txtIP[3]->setText(u"1"_s);
    for (int k = 0; k < 3; ++k)
        txtIP[k + 4]->setText(txtIP[k]->text());
    txtIP[7]->setText(u"254"_s);

    if (txtHost1->hasFocus())
        txtHost1->selectAll();
}

void frmNetScp::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShow)
        return;
    m_firstShow = false;
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    txtHost1->setFocus(Qt::OtherFocusReason);
    txtHost1->selectAll();
    showPendingLogMessage();
}

bool frmNetScp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance()) {
        if (event->type() == QEvent::Quit) {
            // Set for the closes this quit sends; a quit that a window refuses is over
            // once its event has been handled.
            m_applicationQuitting = true;
            QMetaObject::invokeMethod(
                this, [this] { m_applicationQuitting = false; }, Qt::QueuedConnection);
        }
        return false;
    }
    auto* box = qobject_cast<QLineEdit*>(watched);
    // The focus moving between controls, not the window being activated or left or a
    // context menu opening over a box.
    if (box && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            return QMainWindow::eventFilter(watched, event);
    }
    if (box && event->type() == QEvent::FocusIn) {
        // Select the whole text so that typing replaces it. Queued, because a mouse
        // press that brought the focus would otherwise place the cursor afterwards.
        QMetaObject::invokeMethod(box, &QLineEdit::selectAll, Qt::QueuedConnection);
        box->selectAll();
    } else if (box && event->type() == QEvent::FocusOut) {
        for (int k = 0; k < 3; ++k) {
            if (box == txtIP[k])
                txtIP[k + 4]->setText(txtIP[k]->text());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmNetScp::setBusy(bool busy)
{
    const QList<QWidget*> controls{txtHost1, txtIp2,      cmd11,       cmd12,    cmd21,
                                   cmd22,    txtIP[0],    txtIP[1],    txtIP[2], txtIP[3],
                                   txtIP[7], cmdStart[0], cmdStart[1], cmdSave};
    for (QWidget* w : controls)
        w->setEnabled(!busy);
    if (busy) {
        mnuInport->setEnabled(false);
        mnuHelp->setEnabled(false);
        mnuVer->setEnabled(false);
        cmdCancel->setEnabled(true);
    } else {
        cmdCancel->setEnabled(false);
        mnuInport->setEnabled(true);
        mnuHelp->setEnabled(true);
        mnuVer->setEnabled(true);
    }
}

bool frmNetScp::Form_QueryUnload()
{
    if (m_applicationQuitting)
        return true;
    // A running survey or import holds the start button disabled; the close waits
    // for it, whatever happened before (a session end that was called off included).
    return cmdStart[0]->isEnabled();
}

void frmNetScp::Form_Unload()
{
    if (m_unloaded || !m_services.historyLog->hasStarted())
        return;
    m_unloaded = true;
    m_engine->cancel();
    for (const StopToken& stop : m_panelStops)
        stop.requestStop();
    saveLog(!m_sessionEnding);
}

void frmNetScp::saveLog(bool reportFailure)
{
    const TextFile::WriteResult saved = m_services.historyLog->saveAtEnd(m_engine->rowsToSave());
    if (!saved.ok && reportFailure) {
        // The list goes with the window; the user must at least learn that it did
        // not reach the disk, and where it should have gone.
        m_services.boxes->show(this,
                               u"履歴ファイルを保存できませんでした。\r\n"_s +
                                   m_services.historyLog->path() + u"\r\n"_s + saved.error,
                               u"履歴保存"_s, MessageBoxes::OkExclamation);
    }
}

void frmNetScp::closeEvent(QCloseEvent* event)
{
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmNetScp::sessionEnding()
{
    // Before start-up has read the log, the empty lists would delete it.
    if (!m_services.historyLog->hasStarted())
        return;
    m_sessionEnding = true;
    saveLog(false);
}

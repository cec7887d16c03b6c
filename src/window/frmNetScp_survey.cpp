// The survey buttons: validation, confirmation and the busy state around a run.
#include "window/frmNetScp.h"

#include "store/LogKeeper.h"
#include "survey/ListChanges.h"
#include "survey/OctetValue.h"
#include "survey/SurveyEngine.h"
#include "survey/SurveyLists.h"
#include "window/ChangeMarkModel.h"
#include "window/MessageBoxes.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

using namespace Qt::Literals::StringLiterals;

void frmNetScp::cmdStart_Click(int Index)
{
    QStringList boxes;
    for (QLineEdit* box : txtIP)
        boxes.append(box->text());
    const int bad = OctetValue::firstOutOfRange(boxes);
    if (bad >= 0) {
        m_services.boxes->show(this, OctetValue::rangeMessage(), u"調査中止"_s,
                               MessageBoxes::OkInformation);
        txtIP[bad]->setFocus(Qt::OtherFocusReason);
        return;
    }

    if (Index == 0 && m_lists->count() > 1) {
        const MessageBoxes::Answer answer =
            m_services.boxes->show(this, u"今まで調査した履歴がなくなりますが、よろしいですか？"_s,
                                   u"新規調査"_s, MessageBoxes::YesNoQuestion);
        if (answer != MessageBoxes::Yes)
            return;
    }

    // A session end that was called off no longer keeps a failed save quiet.
    m_sessionEnding = false;
    setBusy(true);
    m_marks->clearMarks();
    m_runBefore = m_lists->entries();
    if (Index == 0) {
        m_services.historyLog->listReplaced();
        const QString prefix = OctetValue::prefixText(boxes.at(0), boxes.at(1), boxes.at(2));
        m_engine->startNew(prefix, OctetValue::octetNumber(boxes.at(3)),
                           OctetValue::octetNumber(boxes.at(7)), m_identity);
    } else {
        m_engine->startResurvey(m_identity);
    }
}

void frmNetScp::cmdCancel_Click()
{
    m_engine->cancel();
}

void frmNetScp::finishRun()
{
    // A cancelled run is compared too: its rows are what the list now says.
    const QList<AddressEntry> after = m_lists->entries();
    m_marks->setChanges(compareLists(std::exchange(m_runBefore, {}), after), after);
    setBusy(false);
    setWindowTitle(u"Netroscope"_s);
    QApplication::beep();
    emit surveyFinished();
}

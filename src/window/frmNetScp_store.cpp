// CSV export and import of the address list.
#include "window/frmNetScp.h"

#include "store/CsvExport.h"
#include "store/HistoryLog.h"
#include "store/LogKeeper.h"
#include "survey/SurveyLists.h"
#include "window/AsyncTask.h"
#include "window/FileDialogs.h"
#include "window/MessageBoxes.h"

#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kCsvFilter = u"CSVファイル    (*.csv)"_s;

} // namespace

void frmNetScp::cmdSave_Click()
{
    const QString path =
        m_services.dialogs->saveFileName(this, u"保存ﾌｧｲﾙを指定してください。"_s,
                                         m_services.programDirectory, kCsvFilter, u".csv"_s);
    if (path.isEmpty())
        return;
    const TextFile::WriteResult written = writeCsvExport(m_lists->lstDat2(), path);
    if (!written.ok) {
        m_services.boxes->show(
            this, u"CSVファイルを保存できませんでした。\r\n"_s + path + u"\r\n"_s + written.error,
            u"CSV保存"_s, MessageBoxes::OkExclamation);
    }
}

void frmNetScp::mnuInport_Click()
{
    const QString explanation =
        u"＜＜機能説明＞＞\r\n"
        u"CSV保存で保存したアドレス一覧を、経歴として使用するようにします\r\n"
        u"Ver.1.XXで作成済みのCSVファイルを、経歴にしたい場合に使用します\r\n"
        u"尚、インポートを行うと、今までの経歴は全て破棄されます\r\n"
        u"\r\n"
        u"インポートを続行しますか？"_s;
    if (m_services.boxes->show(this, explanation, u"インポート"_s, MessageBoxes::YesNoQuestion) !=
        MessageBoxes::Yes)
        return;
    const QString path = m_services.dialogs->openFileName(this, u"開くﾌｧｲﾙを指定してください。"_s,
                                                          m_services.programDirectory, kCsvFilter);
    if (path.isEmpty())
        return;
    // Read off the GUI thread; the window takes no other action meanwhile.
    setBusy(true);
    cmdCancel->setEnabled(false);
    struct Imported {
        LoadedList file; // its rows moved into `list`
        SurveyLists::Content list;
    };
    runThenCallback<Imported>(
        &m_checkPool, this,
        [path] {
            Imported imported{subListLoad(path), {}};
            imported.list = SurveyLists::fromStored(std::exchange(imported.file.rows, {}));
            return imported;
        },
        [this, path](const Imported& imported) {
            const LoadedList& loaded = imported.file;
            setBusy(false);
            if (!loaded.opened) {
                // The history stays: a file that cannot be read must not wipe it.
                m_services.boxes->show(this,
                                       u"ファイルを読み込めませんでした。\r\n"_s + path +
                                           u"\r\n"_s + loaded.error,
                                       u"インポート"_s, MessageBoxes::OkExclamation);
            } else {
                m_lists->replace(imported.list);
                m_services.historyLog->listReplaced();
            }
            emit importFinished();
        });
}

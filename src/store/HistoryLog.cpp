#include "store/HistoryLog.h"

#include "store/ProgramFolders.h"
#include "text/FileOwner.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

using namespace Qt::Literals::StringLiterals;

namespace {

bool isCsvPath(const QString& path)
{
    return path.right(4).compare(u".csv"_s, Qt::CaseInsensitive) == 0;
}

} // namespace

LoadedList subListLoad(const QString& path)
{
    LoadedList result;
    TextFile::ReadResult file = TextFile::read(path);
    if (!file.ok) {
        result.failure = file.failure;
        result.error = file.error;
        return result;
    }
    result.opened = true;
    // Every line is kept, however many there are and however long its first field:
    // whatever the loader dropped would be gone from the log at the next save.
    result.rows = std::move(file.lines);
    result.hasHeader = isCsvPath(path);
    if (result.hasHeader && !result.rows.isEmpty())
        result.rows.removeFirst();
    return result;
}

TextFile::WriteResult subLogSave(const QStringList& lstDat2, const QString& logPath)
{
    if (lstDat2.size() <= 1) {
        TextFile::WriteResult result;
        result.ok = TextFile::remove(logPath);
        if (!result.ok)
            result.error = u"履歴ログを削除できません"_s;
        return result;
    }
    return TextFile::write(logPath, lstDat2.mid(1));
}

QString historyLogPath(const QString& programDir, const QString& dataDir)
{
    // An installed program keeps the log in the data folder even where it could write
    // beside itself (root in /usr/bin): files left there outlive the package. So does a
    // program in a folder that other users may write (a shared or group folder, their
    // unpacked copy): they could put links and files under any name the log's files
    // take, and replace the log itself. The probe file has a name of its own: writing
    // the test into the log itself would destroy the history it is about to read.
    const QDir program(programDir);
    const bool installed = !ProgramFolders::installedDataDir(programDir).isEmpty();
    if (!programDir.isEmpty() && !installed && !FileOwner::othersMayWrite(programDir) &&
        TextFile::writeTest(program.filePath(u"Netroscope.wrt"_s)))
        return program.filePath(QString::fromUtf16(kHistoryLogName));

    // Without a data directory there is nowhere better; the save will fail quietly.
    if (dataDir.isEmpty())
        return program.filePath(QString::fromUtf16(kHistoryLogName));
    QDir().mkpath(dataDir);
    return QDir(dataDir).filePath(QString::fromUtf16(kHistoryLogName));
}

QString historyLogPath()
{
    static const QString path =
        historyLogPath(QCoreApplication::applicationDirPath(),
                       QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    return path;
}

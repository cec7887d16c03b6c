// The list loader, the row functions and the line splitter. The input is the content
// of a history log; the same bytes are loaded once under a log name and once under a
// CSV name (whose first line is the header and is skipped).

#include "FuzzCheck.h"
#include "RowChecks.h"

#include "store/HistoryLog.h"
#include "survey/SurveyLists.h"
#include "text/Cp932.h"
#include "text/TextFile.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

void writeFile(const QString& path, QByteArrayView bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), bytes.size()) != bytes.size())
        FuzzCheck::fail("cannot write the input file", __FILE__, __LINE__);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One folder per process, so that parallel fuzzing jobs never share a file.
    static QTemporaryDir folder;
    FUZZ_CHECK(folder.isValid());
    const QString logPath = folder.filePath(QStringLiteral("Netroscope.log"));
    const QString csvPath = folder.filePath(QStringLiteral("import.CSV"));
    const QByteArrayView bytes = FuzzCheck::bytesOf(data, size);
    writeFile(logPath, bytes);
    writeFile(csvPath, bytes);

    const QString text = Cp932::decode(bytes);
    const QStringList lines = TextFile::splitLines(text);
    FuzzCheck::checkLines(text, lines);

    const LoadedList log = subListLoad(logPath);
    const LoadedList csv = subListLoad(csvPath);
    // The name decides only whether the first line is skipped, never whether the
    // file is taken; a file that is not taken gives no rows.
    FUZZ_CHECK(log.opened == csv.opened);
    if (!log.opened)
        FUZZ_CHECK(log.rows.isEmpty() && csv.rows.isEmpty());
    // Every line of a file taken is kept exactly as read.
    if (log.opened) {
        FUZZ_CHECK(log.rows == lines);
        FUZZ_CHECK(csv.rows == lines.mid(1));
    }

    // And the list shows each of them beside it.
    const SurveyLists::Content list = SurveyLists::fromStored(log.rows);
    FUZZ_CHECK(list.lstData.size() == list.lstDat2.size());
    FUZZ_CHECK(list.lstData.first() == AddressList::listHeader());
    FUZZ_CHECK(list.lstDat2.first() == AddressList::csvHeader());
    FUZZ_CHECK(list.entries.size() == list.lstDat2.size() - 1);
    for (qsizetype k = 1; k < list.lstDat2.size(); ++k) {
        const AddressEntry entry = FuzzCheck::checkSplitCsvRow(list.lstDat2[k]);
        FUZZ_CHECK(list.entries[k - 1] == entry);
        FuzzCheck::checkListRow(list.lstData[k], entry.ip, entry.host, entry.mac);
    }
    return 0;
}

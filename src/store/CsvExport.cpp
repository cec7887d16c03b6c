#include "store/CsvExport.h"

#include "survey/AddressList.h"

TextFile::WriteResult writeCsvExport(const QStringList& lstDat2, const QString& path)
{
    // The list always holds its header; an empty one still makes a readable file.
    if (lstDat2.isEmpty())
        return TextFile::write(path, {AddressList::csvHeader()});
    return TextFile::write(path, lstDat2);
}

#pragma once

#include "text/TextFile.h"

#include <QStringList>

// Writes lstDat2 from its header row on, one row per line, code page 932, CR LF.
// The file is replaced only once the new content is complete, so an export that
// fails leaves whatever was at the path untouched; the result says why.
TextFile::WriteResult writeCsvExport(const QStringList& lstDat2, const QString& path);

#include "text/FileOwner.h"

#include <QFileInfo>

// Windows grants files through access lists, not through one owner and mode bits:
// what the user may reach counts as the user's.
namespace FileOwner {

bool isOwn(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymbolicLink();
}

bool othersMayWrite(const QString&)
{
    return false;
}

} // namespace FileOwner

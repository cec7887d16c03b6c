#include "probes/ScratchFolder.h"

#include "probes/PlatformProfile.h"

#include "text/TextFile.h"

QString GetWinDir()
{
    return GetWinDir(PlatformProfile::system());
}

QString GetWinDir(const PlatformProfile& profile)
{
    return profile.windowsDirectory();
}

bool subWriteChk(const QString& path)
{
    return TextFile::writeTest(path);
}

void subFileDel(const QString& path)
{
    TextFile::remove(path);
}

#pragma once

#include <QString>

class PlatformProfile;

// GetWinDir: the system directory the scratch files once lived under (on Linux
// the system's temporary directory takes that role). The probes capture their
// commands' output through pipes and no longer need it; it stays for callers
// that place files by the old rule.
QString GetWinDir();
QString GetWinDir(const PlatformProfile& profile);

// subWriteChk: the path can be created, written ("TEST" and CR LF) and closed.
// The test file is removed again whether the test succeeds or fails.
bool subWriteChk(const QString& path);

// subFileDel: deletes the file; a missing file, an empty path or a refusal is
// passed over silently.
void subFileDel(const QString& path);

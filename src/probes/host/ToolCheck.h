#pragma once

#include <QString>

class PlatformProfile;

// DllChk: the named library or tool can be found where the system looks for it.
bool DllChk(const PlatformProfile& profile, const QString& name);

#pragma once

#include <QString>

class PlatformProfile;

// GetPcName: the computer's name as the system gives it (at most 128 characters),
// empty when the system does not say.
QString GetPcName(const PlatformProfile& profile);

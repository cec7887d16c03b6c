#include "probes/platform/PlatformProfile.h"

#ifdef Q_OS_WIN
#include "probes/platform/WindowsProfile.h"
#else
#include "probes/platform/LinuxProfile.h"
#endif

PlatformProfile::PlatformProfile(std::shared_ptr<const ConsoleTools> console,
                                 std::shared_ptr<const NameService> names,
                                 std::shared_ptr<const LanAccess> lan)
    : m_console(std::move(console))
    , m_names(std::move(names))
    , m_lan(std::move(lan))
{}

const PlatformProfile& PlatformProfile::system()
{
    // The one place the platform is chosen.
#ifdef Q_OS_WIN
    static const WindowsProfile profile;
#else
    static const LinuxProfile profile;
#endif
    return profile;
}

PlatformProfile PlatformProfile::with(std::shared_ptr<const NameService> names) const
{
    return {m_console, std::move(names), m_lan};
}

PlatformProfile PlatformProfile::with(std::shared_ptr<const LanAccess> lan) const
{
    return {m_console, m_names, std::move(lan)};
}

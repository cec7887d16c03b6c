#pragma once

// probes/platform/: what differs by operating system: command lines, output parsers,
// resolver and route calls, and what the program may do on the LAN itself.

#include "probes/platform/ConsoleTools.h"
#include "probes/platform/LanAccess.h"
#include "probes/platform/NameService.h"

#include <memory>

// The wait for the echo reply, in seconds, where the platform's ping takes one
// (Linux). A dead address costs about this much.
inline constexpr int kPingWaitSeconds = 1;

// One platform as the probes see it: its console tools, its resolver, and its access
// to the LAN, each replaceable on its own, so that a test scripts only the part it is
// about and runs the real rest.
class PlatformProfile {
public:
    PlatformProfile(std::shared_ptr<const ConsoleTools> console,
                    std::shared_ptr<const NameService> names, std::shared_ptr<const LanAccess> lan);

    // The profile of the platform the program was built for, made on first use.
    static const PlatformProfile& system();

    const ConsoleTools& console() const { return *m_console; }
    const NameService& names() const { return *m_names; }
    const LanAccess& lan() const { return *m_lan; }

    // The same profile with one part replaced.
    PlatformProfile with(std::shared_ptr<const NameService> names) const;
    PlatformProfile with(std::shared_ptr<const LanAccess> lan) const;

private:
    std::shared_ptr<const ConsoleTools> m_console;
    std::shared_ptr<const NameService> m_names;
    std::shared_ptr<const LanAccess> m_lan;
};

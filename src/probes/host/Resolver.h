#pragma once

#include <QString>

class PlatformProfile;

// Name resolution through the system resolver. Every call blocks only its caller
// and may run on any thread; none sends a ping despite the module's name.

// PingDllChk: everything the probes need is present. Start-up refuses to run
// without it.
bool PingDllChk(const PlatformProfile& profile);

// HostToIp: the first IPv4 address the resolver lists for the name, dotted
// decimal; empty when none.
QString HostToIp(const PlatformProfile& profile, const QString& name);

// IpToHost: the official name of an address text, cleaned for the list rows;
// empty when the text is no address (the resolver is then not asked), for
// 255.255.255.255, and when the resolver holds no name.
QString IpToHost(const PlatformProfile& profile, const QString& ip);

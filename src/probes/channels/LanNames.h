#pragma once

#include "probes/channels/Requests.h"

// Names that only the LAN knows: most hosts of an office or home LAN have no reverse
// record in DNS, but Windows PCs answer NetBIOS for their names and printers, phones
// and Macs answer multicast DNS. Every question of a survey goes out from one socket
// per protocol (DatagramChannel), and an answer counts only from the address asked.
namespace LanNames {

std::unique_ptr<LanNameRequest> ask(quint32 address);

std::optional<quint32> addressOf(const QString& name, quint32 ownAddress,
                                 std::chrono::steady_clock::time_point deadline,
                                 const StopToken& stop);

} // namespace LanNames

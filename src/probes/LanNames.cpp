#include "probes/LanNames.h"

#include "probes/DatagramChannel.h"
#include "probes/LanNamePackets.h"
#include "probes/ProbeText.h"

#include <QHostAddress>

namespace {

constexpr quint16 kNetbiosPort = 137;
constexpr quint16 kMdnsPort = 5353;
// 224.0.0.251, the link's multicast DNS group.
constexpr quint32 kMdnsGroup = 0xE00000FB;

class Request final : public LanNameRequest {
public:
    explicit Request(quint32 address)
    {
        if (auto channel = DatagramChannel::shared("netbios", true)) {
            const quint16 id = channel->nextId();
            m_netbios = channel->ask(address, kNetbiosPort, LanNamePackets::nodeStatusQuery(id),
                                     address, [id](const DatagramChannel::Datagram& d) {
                                         return LanNamePackets::parseNodeStatus(d.bytes, id);
                                     });
        }
        if (auto channel = DatagramChannel::shared("mdns", false)) {
            m_mdns = channel->ask(
                address, kMdnsPort, LanNamePackets::mdnsReverseQuery(channel->nextId(), address),
                address, [address](const DatagramChannel::Datagram& d) {
                    return LanNamePackets::parseMdnsReverseResponse(d.bytes, address);
                });
        }
    }

    QString wait(std::chrono::steady_clock::time_point deadline, const StopToken& stop) override
    {
        // A busy LAN drops datagrams, and one that floods the socket makes its buffer
        // drop the answers of others: a question still unanswered is asked again, twice,
        // within the same wait. Where the wait is already over, nothing is asked again.
        const auto from = std::chrono::steady_clock::now();
        for (int round = 1; round <= kRounds; ++round) {
            const auto until =
                round == kRounds ? deadline : from + (deadline - from) * round / kRounds;
            const std::optional<QString> netbios = answer(m_netbios.get(), until, stop);
            const std::optional<QString> mdns = answer(m_mdns.get(), until, stop);
            // NetBIOS first: a Windows PC's name there is the one its user gave it.
            if (netbios && !netbios->isEmpty())
                return *netbios;
            const bool netbiosOver = netbios || !m_netbios;
            if (mdns && !mdns->isEmpty() && (netbiosOver || round == kRounds))
                return *mdns;
            if (stop.stopRequested() || std::chrono::steady_clock::now() >= deadline)
                return mdns.value_or(QString());
            if (m_netbios && !netbios)
                m_netbios->resend();
            if (m_mdns && !mdns)
                m_mdns->resend();
        }
        return {};
    }

    bool asked() const { return m_netbios || m_mdns; }

private:
    static constexpr int kRounds = 3;

    // A question's answer by `until`, cleaned for the list rows; empty when it answered
    // without a usable name.
    static std::optional<QString> answer(DatagramChannel::Question* question,
                                         std::chrono::steady_clock::time_point until,
                                         const StopToken& stop)
    {
        if (!question)
            return std::nullopt;
        const std::optional<QString> raw = question->wait(until, stop);
        if (!raw)
            return std::nullopt;
        return ProbeText::cleanHostName(*raw);
    }

    std::unique_ptr<DatagramChannel::Question> m_netbios;
    std::unique_ptr<DatagramChannel::Question> m_mdns;
};

// An address answer counts only from the host it names: anyone on the LAN may answer a
// broadcast or multicast question.
std::optional<QString> fromItsOwner(std::optional<quint32> address, quint32 from)
{
    if (!address || *address != from)
        return std::nullopt;
    return QHostAddress(*address).toString();
}

} // namespace

namespace LanNames {

std::unique_ptr<LanNameRequest> ask(quint32 address)
{
    auto request = std::make_unique<Request>(address);
    if (!request->asked())
        return nullptr;
    return request;
}

std::optional<quint32> addressOf(const QString& name, quint32 ownAddress,
                                 std::chrono::steady_clock::time_point deadline,
                                 const StopToken& stop)
{
    std::unique_ptr<DatagramChannel::Question> question;
    if (name.endsWith(u".local", Qt::CaseInsensitive)) {
        if (auto channel = DatagramChannel::shared("mdns", false)) {
            question = channel->ask(
                kMdnsGroup, kMdnsPort, LanNamePackets::mdnsAddressQuery(channel->nextId(), name),
                std::nullopt, [name](const DatagramChannel::Datagram& d) {
                    return fromItsOwner(LanNamePackets::parseMdnsAddressResponse(d.bytes, name),
                                        d.from);
                });
        }
    } else if (ownAddress != 0) {
        if (auto channel = DatagramChannel::shared("netbios", true)) {
            const quint16 id = channel->nextId();
            question = channel->ask(
                (ownAddress & 0xFFFFFF00) | 0xFF, kNetbiosPort, LanNamePackets::nameQuery(id, name),
                std::nullopt, [id, name](const DatagramChannel::Datagram& d) {
                    return fromItsOwner(LanNamePackets::parseNameQueryResponse(d.bytes, id, name),
                                        d.from);
                });
        }
    }
    if (!question)
        return std::nullopt;
    const std::optional<QString> answer = question->wait(deadline, stop);
    if (!answer)
        return std::nullopt;
    return QHostAddress(*answer).toIPv4Address();
}

} // namespace LanNames

#include "probes/channels/LanNames.h"

#include "probes/channels/DatagramChannel.h"
#include "probes/packets/LanNamePackets.h"
#include "probes/packets/ProbeText.h"

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
            m_netbios = channel->ask(address, kNetbiosPort, LanNamePackets::nodeStatusQuery,
                                     address, [](const DatagramChannel::Datagram& d, quint16 id) {
                                         return LanNamePackets::parseNodeStatus(d.bytes, id);
                                     });
        }
        if (auto channel = DatagramChannel::shared("mdns", false)) {
            m_mdns = channel->ask(
                address, kMdnsPort,
                [address](quint16 id) { return LanNamePackets::mdnsReverseQuery(id, address); },
                address,
                [address](const DatagramChannel::Datagram& d, quint16 id) {
                    return LanNamePackets::parseMdnsReverseResponse(d.bytes, id, address);
                });
        }
    }

    std::optional<QString> check(std::chrono::steady_clock::time_point deadline) override
    {
        const auto now = std::chrono::steady_clock::now();
        const std::optional<QString> netbios = answer(m_netbios.get());
        const std::optional<QString> mdns = answer(m_mdns.get());
        if (const std::optional<QString> name = decide(netbios, mdns, now >= deadline))
            return name;
        if (now >= roundEnd(deadline)) {
            ++m_round;
            resendUnanswered(netbios, mdns);
        }
        return std::nullopt;
    }

    std::chrono::steady_clock::time_point
    nextCheck(std::chrono::steady_clock::time_point deadline) const override
    {
        return roundEnd(deadline);
    }

    bool asked() const { return m_netbios || m_mdns; }

private:
    // A busy LAN drops datagrams, and one that floods the socket makes its buffer drop
    // the answers of others: a question still unanswered is asked again, twice, within
    // the same wait, at the end of each round. Where the wait is already over, nothing
    // is asked again, so dead addresses cost no more.
    static constexpr int kRounds = 3;

    std::chrono::steady_clock::time_point
    roundEnd(std::chrono::steady_clock::time_point deadline) const
    {
        if (m_round >= kRounds)
            return deadline;
        return m_asked + (deadline - m_asked) * m_round / kRounds;
    }

    // The name once these answers decide it; `last` when no other answer will count.
    std::optional<QString> decide(const std::optional<QString>& netbios,
                                  const std::optional<QString>& mdns, bool last) const
    {
        // NetBIOS first: a Windows PC's name there is the one its user gave it.
        if (netbios && !netbios->isEmpty())
            return netbios;
        const bool netbiosOver = netbios || !m_netbios;
        if (mdns && !mdns->isEmpty() && (netbiosOver || last))
            return mdns;
        if (last || (netbiosOver && (mdns || !m_mdns)))
            return mdns.value_or(QString());
        return std::nullopt;
    }

    void resendUnanswered(const std::optional<QString>& netbios, const std::optional<QString>& mdns)
    {
        if (m_netbios && !netbios)
            m_netbios->resend();
        if (m_mdns && !mdns)
            m_mdns->resend();
    }

    // A question's answer as it stands, cleaned for the list rows; empty when it
    // answered without a usable name.
    static std::optional<QString> answer(DatagramChannel::Question* question)
    {
        if (!question)
            return std::nullopt;
        return cleaned(question->answer());
    }
    static std::optional<QString> cleaned(const std::optional<QString>& raw)
    {
        if (!raw)
            return std::nullopt;
        return ProbeText::lanHostName(*raw);
    }

    std::chrono::steady_clock::time_point m_asked = std::chrono::steady_clock::now();
    int m_round = 1;

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
                kMdnsGroup, kMdnsPort,
                [&name](quint16 id) { return LanNamePackets::mdnsAddressQuery(id, name); },
                std::nullopt,
                [name](const DatagramChannel::Datagram& d, quint16 id) {
                    return fromItsOwner(LanNamePackets::parseMdnsAddressResponse(d.bytes, id, name),
                                        d.from);
                });
        }
    } else if (ownAddress != 0) {
        if (auto channel = DatagramChannel::shared("netbios", true)) {
            question = channel->ask(
                (ownAddress & 0xFFFFFF00) | 0xFF, kNetbiosPort,
                [&name](quint16 id) { return LanNamePackets::nameQuery(id, name); }, std::nullopt,
                [name](const DatagramChannel::Datagram& d, quint16 id) {
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

#include "probes/channels/DatagramChannel.h"

#include <QRandomGenerator>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

// Larger than any answer we read, and as large as a jumbo frame; a longer datagram is
// dropped unread.
constexpr std::size_t kMaxDatagram = 9000;
// A host answers a question once, or once for each time it was asked. One that sends
// more than this many datagrams its question cannot read is flooding the socket: the
// rest of them are dropped unread, and it is not asked again, since each question may
// bring another flood that buries other hosts' answers.
constexpr int kMostRefused = 16;
// Room for the answers of a whole range while a flood passes; where the program may
// not go past the system's bound (net.core.rmem_max), as much as that allows.
constexpr int kReceiveBuffer = 4 * 1024 * 1024;
// Datagrams read between two looks at the stop: a flood that never lets the socket run
// dry must not keep the channel from closing.
constexpr int kMostPerWakeup = 64;

// DNS and NetBIOS messages begin with their transaction id.
std::optional<quint16> idOf(const DatagramChannel::Datagram& datagram)
{
    if (datagram.bytes.size() < 2)
        return std::nullopt;
    return quint16(quint8(datagram.bytes[0]) << 8 | quint8(datagram.bytes[1]));
}

} // namespace

struct DatagramChannel::Question::State {
    Entries::iterator entry;
    quint32 address = 0;
    quint16 port = 0;
    quint16 id = 0;
    QByteArray packet;
    Reader read;
    // Under the channel's lock.
    std::optional<QString> answer;
    // Datagrams from the question's source that it refused; past a bound it reads no
    // more of them.
    int refused = 0;
};

std::shared_ptr<DatagramChannel> DatagramChannel::shared(const char* name, bool broadcast)
{
    static std::mutex lock;
    static std::map<std::string, std::weak_ptr<DatagramChannel>> open;
    const std::lock_guard hold(lock);
    std::weak_ptr<DatagramChannel>& slot = open[name];
    if (std::shared_ptr<DatagramChannel> channel = slot.lock())
        return channel;

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    const int on = 1;
    if (broadcast)
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBuffer, sizeof kReceiveBuffer) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    std::shared_ptr<DatagramChannel> channel(new DatagramChannel(fd));
    slot = channel;
    return channel;
}

DatagramChannel::DatagramChannel(int fd)
    : m_fd(fd)
{
    m_receiver = std::thread([this] { receive(); });
}

DatagramChannel::~DatagramChannel()
{
    m_closing = true;
    m_wakeup.wake();
    m_receiver.join();
    ::close(m_fd);
}

std::unique_ptr<DatagramChannel::Question> DatagramChannel::ask(quint32 address, quint16 port,
                                                                const Packet& packet,
                                                                std::optional<quint32> from,
                                                                Reader read)
{
    auto state = std::make_shared<Question::State>();
    state->address = address;
    state->port = port;
    state->read = std::move(read);
    {
        // Listed before it is sent: a LAN answers faster than a thread is scheduled.
        const std::lock_guard hold(m_lock);
        if (m_ids.size() >= 0xFFFF)
            return nullptr;
        // The system's generator: one whose state its outputs reveal would let a host
        // work out the next ids from those it saw. Never 0, the id that any sloppy
        // responder sends.
        do
            state->id = quint16(QRandomGenerator::system()->generate());
        while (state->id == 0 || m_ids.contains(state->id));
        state->packet = packet(state->id);
        if (state->packet.isEmpty())
            return nullptr;
        m_ids.insert(state->id);
        state->entry = m_questions.emplace(from.value_or(kAnySource), state);
    }
    auto question = std::make_unique<Question>();
    question->m_channel = shared_from_this();
    question->m_state = state;
    if (!send(address, port, state->packet))
        return nullptr;
    return question;
}

bool DatagramChannel::send(quint32 address, quint16 port, QByteArrayView packet)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    return ::sendto(m_fd, packet.data(), std::size_t(packet.size()), 0,
                    reinterpret_cast<const sockaddr*>(&to), sizeof to) == packet.size();
}

void DatagramChannel::forget(Question& question)
{
    const std::lock_guard hold(m_lock);
    m_ids.erase(question.m_state->id);
    m_questions.erase(question.m_state->entry);
}

void DatagramChannel::receive()
{
    QByteArray buffer(kMaxDatagram, Qt::Uninitialized);
    for (;;) {
        m_wakeup.wait(m_fd, std::chrono::steady_clock::time_point::max());
        if (m_closing)
            return;
        // Read in bursts, so that a flood costs one wake-up per burst, not per packet.
        for (int k = 0; k < kMostPerWakeup; ++k) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            // MSG_TRUNC: the whole datagram's length, so that one cut short is not read.
            const ssize_t got = ::recvfrom(m_fd, buffer.data(), kMaxDatagram, MSG_TRUNC,
                                           reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got < 0)
                break;
            if (fromLength < sizeof from || from.sin_family != AF_INET ||
                std::size_t(got) > kMaxDatagram)
                continue;
            deliver({QByteArrayView(buffer.constData(), got), ntohl(from.sin_addr.s_addr),
                     ntohs(from.sin_port)});
        }
    }
}

void DatagramChannel::deliver(const Datagram& datagram)
{
    struct Candidate {
        std::shared_ptr<Question::State> state;
        bool fromSource = false;
        std::optional<QString> answer;
    };
    std::vector<Candidate> candidates;
    {
        const std::lock_guard hold(m_lock);
        for (const quint32 key : {datagram.from, kAnySource}) {
            const auto [first, last] = m_questions.equal_range(key);
            for (auto at = first; at != last; ++at) {
                Question::State& state = *at->second;
                if (state.answer || state.port != datagram.port || state.refused >= kMostRefused)
                    continue;
                // One without the question's id is no answer, and is not read. From the
                // question's source it counts as refused all the same: else a host
                // could try every id in its neighbour's name.
                if (idOf(datagram) == state.id)
                    candidates.push_back({at->second, key != kAnySource, {}});
                else if (key != kAnySource)
                    ++state.refused;
            }
        }
    }
    // Only this thread reads, and a question's reader and id never change: the waiters
    // need not wait for the reading.
    for (Candidate& candidate : candidates)
        candidate.answer = candidate.state->read(datagram, candidate.state->id);
    bool answered = false;
    {
        const std::lock_guard hold(m_lock);
        for (Candidate& candidate : candidates) {
            Question::State& state = *candidate.state;
            if (candidate.answer && !state.answer) {
                state.answer = std::move(candidate.answer);
                answered = true;
            } else if (!candidate.answer && candidate.fromSource) {
                // Anyone may answer a question to any source: one flooder must not
                // silence the others.
                ++state.refused;
            }
        }
    }
    if (answered)
        m_answered.notify_all();
}

DatagramChannel::Question::~Question()
{
    if (m_channel && m_state)
        m_channel->forget(*this);
}

std::optional<QString>
DatagramChannel::Question::wait(std::chrono::steady_clock::time_point deadline,
                                const StopToken& stop)
{
    std::unique_lock hold(m_channel->m_lock);
    m_channel->m_answered.wait_until(hold, stop.token(), deadline,
                                     [this] { return m_state->answer.has_value(); });
    return m_state->answer;
}

std::optional<QString> DatagramChannel::Question::answer() const
{
    const std::lock_guard hold(m_channel->m_lock);
    return m_state->answer;
}

void DatagramChannel::Question::resend()
{
    {
        const std::lock_guard hold(m_channel->m_lock);
        if (m_state->refused >= kMostRefused)
            return;
    }
    m_channel->send(m_state->address, m_state->port, m_state->packet);
}

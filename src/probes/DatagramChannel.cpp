#include "probes/DatagramChannel.h"

#include <QRandomGenerator>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Larger than any answer we read; a longer datagram is cut short and then refused by
// its reader.
constexpr std::size_t kMaxDatagram = 9000;
// A host answers a question once, or once for each time it was asked. One that sends
// more than this many datagrams its question cannot read is flooding the socket: the
// rest of them are dropped unread, and it is not asked again, since each question
// may bring another flood that buries other hosts' answers.
constexpr int kMostRefused = 16;
// Room for the answers of a whole range while a flood passes; where the program may
// not go past the system's bound (net.core.rmem_max), as much as that allows.
constexpr int kReceiveBuffer = 4 * 1024 * 1024;

} // namespace

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
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::shared_ptr<DatagramChannel> channel(new DatagramChannel(fd, wake));
    slot = channel;
    return channel;
}

DatagramChannel::DatagramChannel(int fd, const int wake[2])
    : m_fd(fd)
    , m_wake{wake[0], wake[1]}
    , m_id(quint16(QRandomGenerator::system()->generate()))
{
    m_receiver = std::thread([this] { receive(); });
}

DatagramChannel::~DatagramChannel()
{
    const char stop = 0;
    while (::write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {
    }
    m_receiver.join();
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    ::close(m_fd);
}

quint16 DatagramChannel::nextId()
{
    const std::lock_guard hold(m_lock);
    return ++m_id;
}

std::unique_ptr<DatagramChannel::Question> DatagramChannel::ask(quint32 address, quint16 port,
                                                                QByteArrayView packet,
                                                                std::optional<quint32> from,
                                                                Reader read)
{
    if (packet.isEmpty())
        return nullptr;
    auto question = std::make_unique<Question>();
    question->m_channel = shared_from_this();
    question->m_address = address;
    question->m_port = port;
    question->m_packet = packet.toByteArray();
    question->m_read = std::move(read);
    {
        // Listed before it is sent: a LAN answers faster than a thread is scheduled.
        const std::lock_guard hold(m_lock);
        question->m_entry = m_questions.emplace(from.value_or(kAnySource), question.get());
    }
    if (!send(address, port, packet))
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
    m_questions.erase(question.m_entry);
}

void DatagramChannel::receive()
{
    QByteArray buffer(kMaxDatagram, Qt::Uninitialized);
    for (;;) {
        pollfd wanted[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(wanted, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (wanted[1].revents)
            return;
        // Drain what is there, so that a flood is read in bursts and not one wake-up a packet.
        for (;;) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t got = ::recvfrom(m_fd, buffer.data(), kMaxDatagram, 0,
                                           reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (got < 0)
                break;
            if (fromLength < sizeof from || from.sin_family != AF_INET)
                continue;
            deliver({QByteArrayView(buffer.constData(), got), ntohl(from.sin_addr.s_addr),
                     ntohs(from.sin_port)});
        }
    }
}

void DatagramChannel::deliver(const Datagram& datagram)
{
    std::unique_lock hold(m_lock);
    bool answered = false;
    for (const quint32 key : {datagram.from, kAnySource}) {
        const auto [first, last] = m_questions.equal_range(key);
        for (auto at = first; at != last; ++at) {
            Question& question = *at->second;
            if (question.m_answer || question.m_port != datagram.port ||
                question.m_refused >= kMostRefused)
                continue;
            if (std::optional<QString> answer = question.m_read(datagram)) {
                question.m_answer = std::move(answer);
                answered = true;
            } else if (key != kAnySource) {
                // Anyone may answer a question to any source: one flooder must not
                // silence the others.
                ++question.m_refused;
            }
        }
    }
    hold.unlock();
    if (answered)
        m_answered.notify_all();
}

DatagramChannel::Question::~Question()
{
    if (m_channel)
        m_channel->forget(*this);
}

std::optional<QString>
DatagramChannel::Question::wait(std::chrono::steady_clock::time_point deadline,
                                const StopToken& stop)
{
    std::unique_lock hold(m_channel->m_lock);
    m_channel->m_answered.wait_until(hold, stop.token(), deadline,
                                     [this] { return m_answer.has_value(); });
    return m_answer;
}

std::optional<QString> DatagramChannel::Question::answer() const
{
    const std::lock_guard hold(m_channel->m_lock);
    return m_answer;
}

void DatagramChannel::Question::resend()
{
    {
        const std::lock_guard hold(m_channel->m_lock);
        if (m_refused >= kMostRefused)
            return;
    }
    m_channel->send(m_address, m_port, m_packet);
}

#include "store/LockFileAccess.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PlainFile {
public:
    // Opening a pipe without waiting for a writer needs O_NONBLOCK; it is then refused
    // by its type, as is anything else but a plain file.
    explicit PlainFile(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(),
                      O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC))
    {
        if (m_fd < 0) {
            // Nothing there or a link is no lock; a network folder's hiccup may pass.
            m_unreadable = errno != ENOENT && errno != ELOOP;
        } else if (::fstat(m_fd, &m_stat) != 0 || !S_ISREG(m_stat.st_mode) ||
                   m_stat.st_size > kMaxLockFileBytes) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~PlainFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PlainFile(const PlainFile&) = delete;
    PlainFile& operator=(const PlainFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool unreadable() const { return m_unreadable; }
    int fd() const { return m_fd; }
    const struct stat& status() const { return m_stat; }

    QByteArray bytes() const
    {
        QByteArray bytes(kMaxLockFileBytes, Qt::Uninitialized);
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::pread(m_fd, bytes.data() + got, size_t(bytes.size() - got), got);
            if (n <= 0)
                break;
            got += n;
        }
        bytes.truncate(got);
        return bytes;
    }

private:
    int m_fd = -1;
    bool m_unreadable = false;
    struct stat m_stat {};
};

} // namespace

std::optional<LockFileSeen> readLockFile(const QString& path)
{
    const PlainFile file(path);
    if (!file.isOpen())
        return std::nullopt;
    const struct timespec& time = file.status().st_mtim;
    return LockFileSeen{file.bytes(),
                        QDateTime::fromMSecsSinceEpoch(
                            qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000, Qt::UTC)};
}

LockRenewal renewLockFile(const QString& path, const QByteArray& bytes)
{
    const PlainFile file(path);
    if (file.unreadable())
        return LockRenewal::Failed;
    if (!file.isOpen() || file.bytes() != bytes)
        return LockRenewal::NotOurs;
    // The owner may set the time through a descriptor opened only for reading.
    return ::futimens(file.fd(), nullptr) == 0 ? LockRenewal::Renewed : LockRenewal::Failed;
}

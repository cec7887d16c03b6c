#include "store/LockFileAccess.h"

#include <QDir>

#include <windows.h>

namespace {

// The 100-nanosecond intervals between 1601 and 1970.
constexpr qint64 kFileTimeAtEpoch = 116444736000000000LL;

class PlainFile {
public:
    // The holder keeps its lock file open for writing, so the others must share writes;
    // a reparse point (a link) is opened as itself and then refused.
    PlainFile(const QString& path, DWORD access)
        : m_handle(CreateFileW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()),
                               access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr))
    {
        if (m_handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            m_unreadable = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
            return;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileType(m_handle) != FILE_TYPE_DISK ||
            !GetFileInformationByHandle(m_handle, &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            info.nFileSizeHigh != 0 || info.nFileSizeLow > DWORD(kMaxLockFileBytes)) {
            CloseHandle(m_handle);
            m_handle = INVALID_HANDLE_VALUE;
            return;
        }
        m_modified = info.ftLastWriteTime;
    }
    ~PlainFile()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    PlainFile(const PlainFile&) = delete;
    PlainFile& operator=(const PlainFile&) = delete;

    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool unreadable() const { return m_unreadable; }
    HANDLE handle() const { return m_handle; }

    QDateTime modified() const
    {
        const qint64 ticks =
            (qint64(m_modified.dwHighDateTime) << 32) | qint64(m_modified.dwLowDateTime);
        return QDateTime::fromMSecsSinceEpoch((ticks - kFileTimeAtEpoch) / 10000, Qt::UTC);
    }

    QByteArray bytes() const
    {
        QByteArray bytes(kMaxLockFileBytes, Qt::Uninitialized);
        DWORD got = 0;
        if (!ReadFile(m_handle, bytes.data(), DWORD(bytes.size()), &got, nullptr))
            got = 0;
        bytes.truncate(qsizetype(got));
        return bytes;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    bool m_unreadable = false;
    FILETIME m_modified{};
};

} // namespace

std::optional<LockFileSeen> readLockFile(const QString& path)
{
    const PlainFile file(path, GENERIC_READ);
    if (!file.isOpen())
        return std::nullopt;
    return LockFileSeen{file.bytes(), file.modified()};
}

LockRenewal renewLockFile(const QString& path, const QByteArray& bytes)
{
    const PlainFile file(path, GENERIC_READ | FILE_WRITE_ATTRIBUTES);
    if (file.unreadable())
        return LockRenewal::Failed;
    if (!file.isOpen() || file.bytes() != bytes)
        return LockRenewal::NotOurs;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return SetFileTime(file.handle(), nullptr, nullptr, &now) ? LockRenewal::Renewed
                                                              : LockRenewal::Failed;
}

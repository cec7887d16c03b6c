#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <vector>

// Who made a network card, from the IEEE registries as Debian's ieee-data ships them
// (oui.csv, mam.csv, oui36.csv, iab.csv: 24-, 28- and 36-bit blocks) and from a site's
// own vendors.csv. Loaded once, then only read: one registry may serve any number of
// threads. Nothing here fails: a file that is missing or cannot be read names no
// vendor, a line that makes no sense is skipped.
class VendorRegistry {
public:
    // What a MAC with the locally administered bit set says instead of a maker: its
    // first bytes were chosen by hand or at random (a phone's private address).
    static constexpr QStringView kLocalMark = u"ローカル/ランダム";

    struct Match {
        QString vendor; // empty when no block names it
        bool local = false;
    };

    // Where the registries are looked for, in order: the copies update-ieee-data
    // renews first, the package's own after them. Each file is read from the first
    // folder that holds it.
    static QStringList systemFolders();
    // The site's vendors.csv in the program's configuration folder.
    static QString siteFilePath();
    // The registry files' names, read from the folders.
    static QStringList registryFiles();

    // Reads the registry files from `folders` and then the site's file. Either may be
    // missing.
    static VendorRegistry load(const QStringList& folders, const QString& siteFile);
    static VendorRegistry loadSystem() { return load(systemFolders(), siteFilePath()); }

    // From texts rather than files, as the loader reads them: `registries` in the
    // IEEE CSV form (Registry,Assignment,Organization Name,...; the assignment's hex
    // digits give the block's size), `site` in vendors.csv's.
    static VendorRegistry fromText(const std::vector<QByteArrayView>& registries,
                                   QByteArrayView site);

    // The maker of `mac` (six groups of two hex digits joined by ":" or "-", or twelve
    // digits in a row; any case) from the longest block that holds it: 36 bits over 28
    // over 24. The site's entries take the place of the registry's blocks of the same
    // size and prefix; on a locally administered MAC only they count, since a
    // registry's prefix there is a coincidence. Group addresses (the lowest bit of the
    // first byte), the all-zero MAC and texts that are no MAC give nothing.
    Match lookup(QStringView mac) const;

    // What the window's tooltips and the command line's fourth field say about `mac`:
    // the vendor, the local mark, or nothing.
    QString describe(QStringView mac) const;

    // Blocks known, the site's included.
    qsizetype size() const;

private:
    struct Block {
        quint64 prefix;
        quint32 name; // index into m_names
        bool site;
    };
    // A prefix of 6 to 12 hex digits: the registry's 24, 28 and 36 bits, and a site's
    // blocks of any length up to a whole MAC.
    static constexpr int kShortest = 6;
    static constexpr int kLongest = 12;

    friend class VendorBuilder;

    // Sorted by prefix, one block per prefix; indexed by digits - kShortest.
    std::array<std::vector<Block>, kLongest - kShortest + 1> m_blocks;
    QStringList m_names; // each organisation once, however many blocks it holds
};

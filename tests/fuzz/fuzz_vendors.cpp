// The vendor names' readers. Input: bytes read once as an IEEE registry file and once
// as a site's vendors.csv; the MACs looked up come from the hex digits in the input, so
// that they meet the blocks it defines.

#include "FuzzCheck.h"

#include "store/VendorRegistry.h"

#include <QString>

#include <vector>

namespace {

// Up to eight MACs: each run of hex digits in the input, cut or padded with zeros to
// twelve, in the program's form.
QStringList macsOf(QByteArrayView input)
{
    QStringList macs;
    QString digits;
    for (qsizetype i = 0; i <= input.size() && macs.size() < 8; ++i) {
        const char c = i < input.size() ? input[i] : '\0';
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
            digits += QLatin1Char(c);
            continue;
        }
        if (digits.size() >= 6) {
            const QString twelve = digits.left(12).leftJustified(12, u'0').toUpper();
            QString mac;
            for (int k = 0; k < 12; k += 2) {
                if (k > 0)
                    mac += u'-';
                mac += twelve.mid(k, 2);
            }
            macs.append(mac);
        }
        digits.clear();
    }
    return macs;
}

// Another writing of the same MAC: lower case, colons.
QString otherForm(const QString& mac)
{
    return mac.toLower().replace(u'-', u':');
}

void checkText(const QString& text)
{
    // One line of plain text, fit for a tooltip and a tab-separated row.
    FUZZ_CHECK(text == text.trimmed());
    for (QChar c : text)
        FUZZ_CHECK(c.category() != QChar::Other_Control && c.category() != QChar::Other_Format);
}

void checkRegistry(const VendorRegistry& registry, const QStringList& macs, bool siteOnly)
{
    for (const QString& mac : macs) {
        const QString text = registry.describe(mac);
        checkText(text);
        FUZZ_CHECK(registry.describe(otherForm(mac)) == text);
        const VendorRegistry::Match match = registry.lookup(mac);
        const uint firstByte = mac.left(2).toUInt(nullptr, 16);
        FUZZ_CHECK(match.local == ((firstByte & 0x03) == 0x02 && mac != u"00-00-00-00-00-00"));
        // A group address names no one; a registry never names a local MAC.
        if (firstByte & 0x01)
            FUZZ_CHECK(text.isEmpty());
        if (match.local && !siteOnly)
            FUZZ_CHECK(text == VendorRegistry::kLocalMark);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input = FuzzCheck::bytesOf(data, size);
    const QStringList macs = macsOf(input);

    const VendorRegistry registry = VendorRegistry::fromText({input}, {});
    // A record takes at least one line.
    FUZZ_CHECK(registry.size() <= input.count('\n') + input.count('\r') + 1);
    checkRegistry(registry, macs, false);

    const VendorRegistry site = VendorRegistry::fromText({}, input);
    FUZZ_CHECK(site.size() <= input.count('\n') + input.count('\r') + 1);
    checkRegistry(site, macs, true);
    return 0;
}

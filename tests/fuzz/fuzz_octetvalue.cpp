// Reading the eight octet boxes. Input: UTF-8 text, the boxes separated by ";"
// (missing boxes are empty, as the range check counts them).

#include "FuzzCheck.h"

#include "survey/OctetValue.h"

#include <cmath>

namespace {

bool sameValue(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

QString withoutBlanks(const QString& text)
{
    QString out = text;
    out.remove(u' ').remove(u'\t').remove(u'\n');
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(FuzzCheck::bytesOf(data, size));
    const QStringList boxes = input.split(u';');

    int firstOut = -1;
    for (int index = 0; index < 8; ++index) {
        const QString box = index < boxes.size() ? boxes[index] : QString();
        const double value = OctetValue::Val(box);
        FUZZ_CHECK(!std::isnan(value));
        FUZZ_CHECK(!(value == 0.0 && std::signbit(value)));
        // Blanks count nowhere.
        FUZZ_CHECK(sameValue(OctetValue::Val(withoutBlanks(box)), value));

        const double rounded = OctetValue::roundHalfEven(value);
        if (std::isfinite(value))
            FUZZ_CHECK(rounded == std::floor(rounded) && std::fabs(rounded - value) <= 0.5);

        // An accepted octet is a whole number within its range, and it is the number
        // the box stands for.
        if (OctetValue::inRange(index, value)) {
            const bool last = index == 3 || index == 7;
            FUZZ_CHECK(value == std::floor(value));
            FUZZ_CHECK(value >= (last ? 1 : 0) && value <= (last ? 254 : 255));
            FUZZ_CHECK(OctetValue::octetNumber(box) == int(value));
        } else if (firstOut < 0) {
            firstOut = index;
        }
    }
    FUZZ_CHECK(OctetValue::firstOutOfRange(boxes) == firstOut);

    // Boxes that pass the check build a plain dotted prefix, whatever way they were
    // written ("010", "&HFF", " 1e2").
    if (firstOut < 0) {
        const QString expected = QString::number(OctetValue::octetNumber(boxes.value(0))) + u'.' +
                                 QString::number(OctetValue::octetNumber(boxes.value(1))) + u'.' +
                                 QString::number(OctetValue::octetNumber(boxes.value(2))) + u'.';
        FUZZ_CHECK(OctetValue::prefixText(boxes.value(0), boxes.value(1), boxes.value(2)) ==
                   expected);
    }
    return 0;
}

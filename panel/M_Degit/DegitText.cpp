#include "panel/M_Degit/DegitText.h"

#include <cmath>

namespace degit {

bool toNumber(const QVariant &v, double *out)
{
    if (!v.isValid() || v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().trimmed();
        if (t.isEmpty())
            return false;
        bool ok = false;
        const double d = t.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            return false;
        *out = d;
        return true;
    }
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    *out = d;
    return true;
}

QString valueText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    double d = 0;
    if (!toNumber(v, &d))
        return v.toString();
    if (d == std::floor(d) && std::fabs(d) < 1e15)
        return QString::number(static_cast<long long>(d));
    return QString::number(d, 'g', 15);
}

QString zeroFilled(double value, int width)
{
    const double r = std::round(value);
    const bool negative = r < 0;
    QString digits = QString::number(std::fabs(r), 'f', 0);
    if (digits.size() < width)
        digits.prepend(QString(width - digits.size(), QLatin1Char('0')));
    return negative ? QLatin1Char('-') + digits : digits;
}

QString shownText(const QVariant &value, int zeroMode, int fillZero, int shift, int keta)
{
    QVariant v = value;
    double d = 0;
    const bool numeric = toNumber(v, &d);
    const bool isZero = numeric && d == 0;
    const bool isMinusOne = numeric && d == -1;
    const bool isEmptyText = v.typeId() == QMetaType::QString && v.toString().isEmpty();

    switch (zeroMode) {
    case 0:
        if (isZero || isEmptyText)
            v = QString();
        break;
    case 1:
        if (isZero || isEmptyText)
            v = 0;
        break;
    case 2: // -1 asks for a lit 0; a true zero shows nothing
        if (isMinusOne)
            v = 0;
        else if (isZero)
            v = QString();
        break;
    case 3:
        if (isMinusOne || isZero || isEmptyText)
            v = 0;
        break;
    default:
        break;
    }

    QString s;
    if (fillZero > 0 && toNumber(v, &d))
        s = zeroFilled(d, fillZero);
    else
        s = valueText(v);
    if (shift >= 1)
        s += QString(shift, QLatin1Char(' '));
    const int n = keta > 0 ? keta : 0;
    return s.size() > n ? s.right(n) : s;
}

} // namespace degit

// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"

namespace corvial {

QString numberText(int value, NumberStyle style)
{
    if (style == NumberStyle::Padded) {
        if (value < 0)
            return QLatin1Char('-') +
                   QString::number(-qint64(value)).rightJustified(4, QLatin1Char('0'));
        return QString::number(value).rightJustified(4, QLatin1Char('0'));
    }
    return QString::number(value);
}

QString labelNumberText(int value, NumberStyle style)
{
    const QString text = numberText(value, style);
    return text.size() == 5 ? text.mid(1) : text;
}

} // namespace corvial

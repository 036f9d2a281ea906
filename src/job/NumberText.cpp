// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"

namespace corvial {

QString numberText(int value, int numberStyle)
{
    if (numberStyle == 0) {
        if (value < 0)
            return QLatin1Char('-') +
                   QString::number(-qint64(value)).rightJustified(4, QLatin1Char('0'));
        return QString::number(value).rightJustified(4, QLatin1Char('0'));
    }
    return QString::number(value);
}

QString labelNumberText(int value, int numberStyle)
{
    const QString text = numberText(value, numberStyle);
    return text.size() == 5 ? text.mid(1) : text;
}

} // namespace corvial

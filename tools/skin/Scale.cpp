#include "Scale.h"

namespace makeskin {

QString FrequencyText(int hz) {
    if (hz < 1000) return QString::number(hz);
    if (hz % 1000 == 0) return QStringLiteral("%1k").arg(hz / 1000);
    QString text = QString::number(hz / 1000.0, 'f', 2);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    return text + QLatin1Char('k');
}

}  // namespace makeskin

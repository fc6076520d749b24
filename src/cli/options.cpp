#include "cli/options.h"

bool COptions::Parse(const QStringList& args, QString* error) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(QLatin1String("--")) || a == QLatin1String("--")) {
            m_positional << a;
            continue;
        }
        const QString name = a.mid(2);
        if (m_flags.contains(name)) {
            m_values[name] = QString();
        } else if (m_valued.contains(name)) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("option %1 needs a value").arg(a);
                return false;
            }
            m_values[name] = args[++i];
        } else {
            *error = QStringLiteral("unknown option %1").arg(a);
            return false;
        }
    }
    return true;
}

bool COptions::Int(const QString& name, int min, int max, int* out, QString* error) const {
    bool ok = false;
    const int v = Value(name).toInt(&ok);
    if (!ok || v < min || v > max) {
        *error = QStringLiteral("--%1 must be a whole number from %2 to %3, not '%4'")
                     .arg(name)
                     .arg(min)
                     .arg(max)
                     .arg(Value(name));
        return false;
    }
    *out = v;
    return true;
}

bool COptions::Double(const QString& name, double min, double max, double* out,
                      QString* error) const {
    bool ok = false;
    const double v = Value(name).toDouble(&ok);
    if (!ok || v < min || v > max) {
        *error = QStringLiteral("--%1 must be a number from %2 to %3, not '%4'")
                     .arg(name)
                     .arg(min)
                     .arg(max)
                     .arg(Value(name));
        return false;
    }
    *out = v;
    return true;
}

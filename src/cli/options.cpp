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
            m_all[name] << m_values[name];
        } else {
            *error = QStringLiteral("unknown option %1").arg(a);
            return false;
        }
    }
    return true;
}

namespace {

// The value of option `name` read by `convert`, within [min, max]; false with a message.
template <typename T, typename Convert>
bool Ranged(const COptions& o, const QString& name, T min, T max, T* out, QString* error,
            const char* kind, Convert convert) {
    bool ok = false;
    const T v = convert(o.Value(name), &ok);
    if (!ok || v < min || v > max) {
        *error = QStringLiteral("--%1 must be %2 from %3 to %4, not '%5'")
                     .arg(name, QLatin1String(kind))
                     .arg(min)
                     .arg(max)
                     .arg(o.Value(name));
        return false;
    }
    *out = v;
    return true;
}

} // namespace

bool COptions::Int(const QString& name, int min, int max, int* out, QString* error) const {
    return Ranged(*this, name, min, max, out, error, "a whole number",
                  [](const QString& t, bool* ok) { return t.toInt(ok); });
}

bool COptions::Double(const QString& name, double min, double max, double* out,
                      QString* error) const {
    return Ranged(*this, name, min, max, out, error, "a number",
                  [](const QString& t, bool* ok) { return t.toDouble(ok); });
}

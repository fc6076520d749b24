#pragma once
// A small parser for "--name value" options and "--flag" switches of one subcommand.

#include <QMap>
#include <QString>
#include <QStringList>

class COptions {
public:
    // valued: names that take a value; flags: names that don't; the rest are positional.
    COptions(QStringList valued, QStringList flags) : m_valued(valued), m_flags(flags) {}
    // False with a message for an unknown option or a missing value.
    bool Parse(const QStringList& args, QString* error);

    bool Has(const QString& name) const { return m_values.contains(name); }
    QString Value(const QString& name) const { return m_values.value(name); }
    // Every value an option was given, in order (an option that may be repeated).
    QStringList Values(const QString& name) const { return m_all.value(name); }
    // The value as an integer in [min, max]; false with a message otherwise.
    bool Int(const QString& name, int min, int max, int* out, QString* error) const;
    bool Double(const QString& name, double min, double max, double* out, QString* error) const;
    const QStringList& Positional() const { return m_positional; }

private:
    QStringList m_valued, m_flags, m_positional;
    QMap<QString, QString> m_values;
    QMap<QString, QStringList> m_all;
};

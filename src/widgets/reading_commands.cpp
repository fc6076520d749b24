#include "widgets/reading_commands.h"

#include "config/app_profile.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>

namespace {

using analysis::Filter;

bool Has(const ReadingSettings& r, Filter f) {
    return std::find(r.filters.begin(), r.filters.end(), f) != r.filters.end();
}

// One filter of a group that excludes the others: on, off again when it was on.
template <Filter F, Filter Other> void Toggle(ReadingSettings& r) {
    const bool was = Has(r, F);
    std::erase(r.filters, F);
    std::erase(r.filters, Other);
    if (!was)
        r.filters.push_back(F);
}

template <Filter F> bool On(const ReadingSettings& r) {
    return Has(r, F);
}

template <int Speed> void SetSpeed(ReadingSettings& r) {
    r.speedMmPerS = Speed;
}
template <int Speed> bool IsSpeed(const ReadingSettings& r) {
    return r.speedMmPerS == Speed;
}
template <int Gain> void SetGain(ReadingSettings& r) {
    r.gainMmPerMv = Gain;
}
template <int Gain> bool IsGain(const ReadingSettings& r) {
    return r.gainMmPerMv == Gain;
}

void ToggleMarks(ReadingSettings& r) {
    r.beatMarks = !r.beatMarks;
}
bool Marks(const ReadingSettings& r) {
    return r.beatMarks;
}

const QString kGroup = QStringLiteral("Reading");

} // namespace

const std::vector<ReadingCommand>& ReadingCommands() {
    static const std::vector<ReadingCommand> table = {
        {32800, QT_TRANSLATE_NOOP("ReadingCommands", "Скорость 25 мм/с"), SetSpeed<25>, IsSpeed<25>,
         false},
        {32801, QT_TRANSLATE_NOOP("ReadingCommands", "Скорость 50 мм/с"), SetSpeed<50>, IsSpeed<50>,
         true},
        {32802, QT_TRANSLATE_NOOP("ReadingCommands", "Усиление 5 мм/мВ"), SetGain<5>, IsGain<5>,
         false},
        {32803, QT_TRANSLATE_NOOP("ReadingCommands", "Усиление 10 мм/мВ"), SetGain<10>, IsGain<10>,
         false},
        {32804, QT_TRANSLATE_NOOP("ReadingCommands", "Усиление 20 мм/мВ"), SetGain<20>, IsGain<20>,
         true},
        {32805, QT_TRANSLATE_NOOP("ReadingCommands", "Сетевой фильтр 50 Гц"),
         Toggle<Filter::Mains50, Filter::Mains60>, On<Filter::Mains50>, false},
        {32806, QT_TRANSLATE_NOOP("ReadingCommands", "Сетевой фильтр 60 Гц"),
         Toggle<Filter::Mains60, Filter::Mains50>, On<Filter::Mains60>, false},
        {32807, QT_TRANSLATE_NOOP("ReadingCommands", "Дрейф изолинии 0,05 Гц"),
         Toggle<Filter::Baseline005, Filter::Baseline067>, On<Filter::Baseline005>, false},
        {32808, QT_TRANSLATE_NOOP("ReadingCommands", "Дрейф изолинии 0,67 Гц"),
         Toggle<Filter::Baseline067, Filter::Baseline005>, On<Filter::Baseline067>, false},
        {32809, QT_TRANSLATE_NOOP("ReadingCommands", "Миографический фильтр 35 Гц"),
         Toggle<Filter::Muscle35, Filter::Muscle40>, On<Filter::Muscle35>, false},
        {32810, QT_TRANSLATE_NOOP("ReadingCommands", "Миографический фильтр 40 Гц"),
         Toggle<Filter::Muscle40, Filter::Muscle35>, On<Filter::Muscle40>, true},
        {32811, QT_TRANSLATE_NOOP("ReadingCommands", "Отметки комплексов и границ волн"),
         ToggleMarks, Marks, false},
    };
    return table;
}

const ReadingCommand* FindReadingCommand(int id) {
    for (const ReadingCommand& c : ReadingCommands())
        if (c.id == id)
            return &c;
    return nullptr;
}

ReadingSettings LoadReadingSettings(const CAppProfile& profile) {
    ReadingSettings r;
    const double speed = profile.GetProfileString(kGroup, QStringLiteral("Speed")).toDouble();
    if (IsReadingSpeed(speed))
        r.speedMmPerS = speed;
    const double gain = profile.GetProfileString(kGroup, QStringLiteral("Gain")).toDouble();
    if (IsReadingGain(gain))
        r.gainMmPerMv = gain;
    r.beatMarks =
        profile.GetProfileString(kGroup, QStringLiteral("BeatMarks")) == QLatin1String("1");
    for (const QString& name : profile.GetProfileString(kGroup, QStringLiteral("Filters"))
                                   .split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (const std::optional<Filter> f = FilterNamed(name.trimmed().toStdString()))
            r.filters.push_back(*f);
    return r;
}

bool StoreReadingSettings(CAppProfile& profile, const ReadingSettings& r) {
    QStringList names;
    for (const Filter f : r.filters)
        names << QString::fromLatin1(FilterName(f));
    return profile.WriteProfileString(kGroup, QStringLiteral("Speed"),
                                      QString::number(r.speedMmPerS)) &&
           profile.WriteProfileString(kGroup, QStringLiteral("Gain"),
                                      QString::number(r.gainMmPerMv)) &&
           profile.WriteProfileString(kGroup, QStringLiteral("Filters"),
                                      names.join(QLatin1Char(','))) &&
           profile.WriteProfileString(kGroup, QStringLiteral("BeatMarks"),
                                      r.beatMarks ? QStringLiteral("1") : QStringLiteral("0"));
}

#include "platform/string_table.h"

#include <QCoreApplication>

#include <algorithm>
#include <iterator>

namespace {

struct Entry {
    int id;
    const char* text;
};

// Sorted by identifier.
// clang-format off
constexpr Entry kStrings[] = {
    {ids::LeadSystemEinthoven, QT_TRANSLATE_NOOP("StringTable", "Эйнтховен")},
    {ids::LeadSystemNeb, QT_TRANSLATE_NOOP("StringTable", "Нэб")},
    {ids::LeadSystemSlopak, QT_TRANSLATE_NOOP("StringTable", "Слопак")},
    {ids::Filter50On, QT_TRANSLATE_NOOP("StringTable", "50 Гц Вкл.")},
    {ids::Filter35Off, QT_TRANSLATE_NOOP("StringTable", "35 Гц Выкл.")},
    {ids::Filter35On, QT_TRANSLATE_NOOP("StringTable", "35 Гц Вкл.")},
    {ids::Filter50Off, QT_TRANSLATE_NOOP("StringTable", "50 Гц Выкл.")},
    {ids::Processing, QT_TRANSLATE_NOOP("StringTable", "Обработка данных")},
    {ids::ConnectionLost, QT_TRANSLATE_NOOP("StringTable", "Обрыв связи !")},
    {ids::Receiving, QT_TRANSLATE_NOOP("StringTable", "Идет прием данных")},
    {ids::Sending, QT_TRANSLATE_NOOP("StringTable", "Идет передача данных")},
};
// clang-format on

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }));

} // namespace

const char* LoadStringUtf8(int id) {
    const auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                     [](const Entry& e, int value) { return e.id < value; });
    return it != std::end(kStrings) && it->id == id ? it->text : nullptr;
}

QString LoadString(int id) {
    // The table keeps the Russian source; the window shows it in the interface's language.
    const char* text = LoadStringUtf8(id);
    return text ? QCoreApplication::translate("StringTable", text) : QString();
}

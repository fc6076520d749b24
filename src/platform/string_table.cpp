#include "platform/string_table.h"

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
    {ids::LeadSystemEinthoven, "Эйнтховен"},
    {ids::LeadSystemNeb, "Нэб"},
    {ids::LeadSystemSlopak, "Слопак"},
    {ids::Filter50On, "50 Гц Вкл."},
    {ids::Filter35Off, "35 Гц Выкл."},
    {ids::Filter35On, "35 Гц Вкл."},
    {ids::Filter50Off, "50 Гц Выкл."},
    {ids::Processing, "Обработка данных"},
    {ids::ConnectionLost, "Обрыв связи !"},
    {ids::Receiving, "Идет прием данных"},
    {ids::Sending, "Идет передача данных"},
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
    const char* text = LoadStringUtf8(id);
    return text ? QString::fromUtf8(text) : QString();
}

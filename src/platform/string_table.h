#pragma once
// The program's string table: the texts shown to the user, by resource identifier, in one place.
// Texts are UTF-8 here and become QString at the Qt boundary.

#include <QString>

namespace ids {
constexpr int LeadSystemEinthoven = 131; // "Эйнтховен"
constexpr int LeadSystemNeb = 132;       // "Нэб"
constexpr int LeadSystemSlopak = 133;    // "Слопак"
constexpr int Filter50On = 135;          // "50 Гц Вкл."
constexpr int Filter35Off = 136;         // "35 Гц Выкл."
constexpr int Filter35On = 137;          // "35 Гц Вкл."
constexpr int Filter50Off = 138;         // "50 Гц Выкл."
constexpr int Processing = 139;          // "Обработка данных"
constexpr int ConnectionLost = 140;      // "Обрыв связи !"
constexpr int Receiving = 144;           // "Идет прием данных"
constexpr int Sending = 61215;           // "Идет передача данных"
} // namespace ids

// The UTF-8 text of a string resource as the table keeps it (Russian, untranslated); nullptr when
// the table has no such identifier.
const char* LoadStringUtf8(int id);

// The text in the interface's language (translation context "StringTable"); empty when the table
// has no such identifier.
QString LoadString(int id);

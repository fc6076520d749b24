#pragma once
// The language of the interface. Russian is the program's own language (its texts are written in
// it); English is a translation chosen by the locale or by the settings, once, at start.

#include <QString>
#include <string>

enum class UiLanguage { Russian, English };

// What the settings keep ([Settings] m_nLanguage): follow the system, or one language whatever it
// is.
enum class LanguageChoice { System = 0, Russian = 1, English = 2 };

// The language a locale name asks for ("en_US.UTF-8", "en", "ru_RU"): English for an English
// locale, Russian for every other, since Russian is what the program speaks when in doubt.
UiLanguage LanguageOfLocale(const QString& localeName);

// The language of a choice, given the system locale's name.
UiLanguage ChosenLanguage(LanguageChoice choice, const QString& systemLocaleName);

// The choice a stored number means; an unknown number follows the system.
LanguageChoice LanguageChoiceOf(int stored);

// The interface's language now; Russian until the program sets another at start.
UiLanguage CurrentUiLanguage();
void SetCurrentUiLanguage(UiLanguage language);

// The one of two texts that is in the interface's language: for the texts the program keeps in
// both languages side by side (statements, comparisons), which no translation file holds.
const std::string& InUiLanguage(const std::string& russian, const std::string& english);
QString InUiLanguage(const QString& russian, const QString& english);

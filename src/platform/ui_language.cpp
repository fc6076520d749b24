#include "platform/ui_language.h"

#include <atomic>

namespace {
std::atomic<UiLanguage> g_language{UiLanguage::Russian};
} // namespace

UiLanguage LanguageOfLocale(const QString& localeName) {
    return localeName.startsWith(QLatin1String("en"), Qt::CaseInsensitive) ? UiLanguage::English
                                                                           : UiLanguage::Russian;
}

UiLanguage ChosenLanguage(LanguageChoice choice, const QString& systemLocaleName) {
    switch (choice) {
    case LanguageChoice::Russian:
        return UiLanguage::Russian;
    case LanguageChoice::English:
        return UiLanguage::English;
    case LanguageChoice::System:
        break;
    }
    return LanguageOfLocale(systemLocaleName);
}

LanguageChoice LanguageChoiceOf(int stored) {
    switch (stored) {
    case int(LanguageChoice::Russian):
        return LanguageChoice::Russian;
    case int(LanguageChoice::English):
        return LanguageChoice::English;
    default:
        return LanguageChoice::System;
    }
}

UiLanguage CurrentUiLanguage() {
    return g_language.load(std::memory_order_relaxed);
}

void SetCurrentUiLanguage(UiLanguage language) {
    g_language.store(language, std::memory_order_relaxed);
}

const std::string& InUiLanguage(const std::string& russian, const std::string& english) {
    return CurrentUiLanguage() == UiLanguage::English && !english.empty() ? english : russian;
}

QString InUiLanguage(const QString& russian, const QString& english) {
    return CurrentUiLanguage() == UiLanguage::English && !english.isEmpty() ? english : russian;
}

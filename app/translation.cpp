// SPDX-License-Identifier: Apache-2.0
#include "app/translation.h"

#include <QCoreApplication>
#include <QTranslator>

namespace app {

namespace {

Language g_language = Language::Russian;

// "en", "en-US", "en_GB" name English; "eng" or "enx" do not.
bool IsLanguage(const QString& tag, QLatin1StringView code)
{
    if (!tag.startsWith(code, Qt::CaseInsensitive))
        return false;
    return tag.size() == code.size() || tag.at(code.size()) == QLatin1Char('-') || tag.at(code.size()) == QLatin1Char('_');
}

QTranslator& Translator()
{
    static QTranslator translator;
    return translator;
}

}  // namespace

Language LanguageOfUiLanguages(const QStringList& uiLanguages)
{
    for (const QString& tag : uiLanguages) {
        if (IsLanguage(tag, QLatin1StringView("en")))
            return Language::English;
        if (IsLanguage(tag, QLatin1StringView("ru")))
            return Language::Russian;
    }
    return Language::Russian;
}

std::optional<Language> ParseLanguage(const QString& text)
{
    if (text == QLatin1String("ru"))
        return Language::Russian;
    if (text == QLatin1String("en"))
        return Language::English;
    return std::nullopt;
}

bool InstallTranslation(Language language)
{
    QCoreApplication::removeTranslator(&Translator());
    g_language = Language::Russian;
    if (language == Language::Russian)
        return true;
    if (!Translator().load(QStringLiteral(":/i18n/tarvolin_en.qm")))
        return false;
    QCoreApplication::installTranslator(&Translator());
    g_language = language;
    return true;
}

Language CurrentLanguage()
{
    return g_language;
}

}  // namespace app

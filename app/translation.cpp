// SPDX-License-Identifier: Apache-2.0
#include "app/translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
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

// Qt's own texts (the file dialog's buttons and labels), from the system's Qt
// translations when they are installed; without them Qt speaks English.
QTranslator& QtTranslator()
{
    static QTranslator translator;
    return translator;
}

void InstallQtTranslation(Language language)
{
    QCoreApplication::removeTranslator(&QtTranslator());
    if (language == Language::English)
        return;
    if (QtTranslator().load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&QtTranslator());
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
    InstallQtTranslation(language);
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

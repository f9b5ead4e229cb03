// SPDX-License-Identifier: Apache-2.0
#pragma once
// The language of the program's texts. Russian is the language the texts are
// written in; English comes from the translation built into the program.
#include <QString>
#include <QStringList>
#include <optional>

namespace app {

enum class Language { Russian, English };

// English when English comes before Russian among the user's UI languages
// (QLocale::uiLanguages(), e.g. "en-US", "ru"); Russian otherwise, the C
// locale and languages of neither kind included.
Language LanguageOfUiLanguages(const QStringList& uiLanguages);

// The value of --lang: "ru" or "en", nothing else.
std::optional<Language> ParseLanguage(const QString& text);

// Installs the translation of `language` in the application (nothing for
// Russian). False when the built-in translation cannot be loaded.
bool InstallTranslation(Language language);

// The language of the running program: the one last installed.
Language CurrentLanguage();

}  // namespace app

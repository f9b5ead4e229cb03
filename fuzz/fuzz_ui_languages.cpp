// SPDX-License-Identifier: Apache-2.0
// The user's languages from the environment (LANGUAGE, LC_ALL, LANG as
// QLocale gives them) and the value of tarvolin-report --lang: the language
// chosen for the program's texts.
#include "app/translation.h"
#include "fuzz_support.h"

namespace {

// The index of the first tag that names `code` ("en", "en-US", "en_GB"), or -1.
qsizetype FirstOf(const QStringList& tags, QLatin1StringView code)
{
    for (qsizetype i = 0; i < tags.size(); ++i) {
        const QString tag = tags[i].toLower();
        if (tag == code || tag.startsWith(code + QLatin1Char('-')) || tag.startsWith(code + QLatin1Char('_')))
            return i;
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList tags = text.split(QLatin1Char(':'));

    // English exactly when an English tag comes before every Russian one.
    const qsizetype english = FirstOf(tags, QLatin1StringView("en"));
    const qsizetype russian = FirstOf(tags, QLatin1StringView("ru"));
    const bool expectEnglish = english >= 0 && (russian < 0 || english < russian);
    FUZZ_CHECK((app::LanguageOfUiLanguages(tags) == app::Language::English) == expectEnglish);

    // --lang takes the two codes as written, nothing else.
    const std::optional<app::Language> chosen = app::ParseLanguage(text);
    FUZZ_CHECK(chosen.has_value() == (text == QLatin1String("ru") || text == QLatin1String("en")));
    return 0;
}

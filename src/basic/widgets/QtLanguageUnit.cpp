#include "basic/widgets/QtLanguageUnit.h"

#include <memory>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include "basic/widgets/QtGlue.h"
#include "platform/PlatformFiles.h"

namespace {

struct TQtTranslation {
  std::unique_ptr<QTranslator> translator;
  std::string language;
};

TQtTranslation& Installed() {
  static TQtTranslation installed;
  return installed;
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

QString TranslationFile(const std::string& programDir, const std::string& languageAlias) {
  const std::string language = LowerAscii(languageAlias);
  if (language.empty() ||
      language.find_first_not_of("abcdefghijklmnopqrstuvwxyz_") != std::string::npos)
    return QString();
  const QString name = QStringLiteral("qtbase_%1.qm").arg(QString::fromLatin1(language.c_str()));
  if (!programDir.empty()) {
    const QString beside = QString::fromStdString(PfOsPath(programDir + "System/")) + name;
    if (QFileInfo(beside).isFile()) return beside;
  }
  const QString qt = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/" + name;
  if (QFileInfo(qt).isFile()) return qt;
  return QString();
}

}  // namespace

std::string QtTranslationsFile(const std::string& programDir, const std::string& languageAlias) {
  return FromQString(TranslationFile(programDir, languageAlias));
}

bool LoadQtTranslations(const std::string& programDir, const std::string& languageAlias) {
  TQtTranslation& installed = Installed();
  const std::string language = LowerAscii(languageAlias);
  if (installed.translator && installed.language == language) return true;
  if (installed.translator) {
    QCoreApplication::removeTranslator(installed.translator.get());
    installed.translator.reset();
    installed.language.clear();
  }
  if (language == "en" || !QCoreApplication::instance()) return false;
  const QString file = TranslationFile(programDir, language);
  if (file.isEmpty()) return false;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(file)) return false;
  QCoreApplication::installTranslator(translator.get());
  installed.translator = std::move(translator);
  installed.language = language;
  return true;
}

std::string QtTranslationsLanguage() { return Installed().language; }

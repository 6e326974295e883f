// Texts between the workstation and Qt: the workstation's characters (Windows-1252)
// and Qt's Unicode strings, and host file names, which are UTF-8.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

#include "base/Charset.h"

namespace QtUi {

// Each code as its Unicode character.
inline QString ToQt(std::string_view text) {
  QString s;
  s.reserve(qsizetype(text.size()));
  for (char c : text) s += QChar(char16_t(Charset::ToUnicode(c)));
  return s;
}

// The characters of the set; any other character becomes the substitute.
inline std::string FromQt(const QString& text) {
  std::string s;
  for (const char32_t u : text.toUcs4()) {
    const int code = Charset::FromUnicode(u);
    s += code < 0 ? Charset::kSubstitute : char(code);
  }
  return s;
}

// UTF-8: host file names and the clipboard's text.
inline QString Utf8ToQt(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}
inline std::string QtToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

} // namespace QtUi

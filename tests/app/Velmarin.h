// The velmarin executable run from a test as a user runs it from a shell.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

struct Outcome {
  int exitCode = -1; // -1: crashed or hung
  QString out;
  QString err;
};

// Offscreen: on Qt's offscreen platform ("-platform offscreen" first). NoDisplay: as on a
// machine without a display, no platform named in the environment either.
enum class Platform { Offscreen, NoDisplay };

// Starts velmarin in workDir (the start directory, where the command text's file
// "Command" lives; the test's own when empty) with a configuration and a state directory
// of its own: no run reads or writes the user's settings or recovery files. Runs that
// share stateDir find each other's recovery files.
inline void StartVelmarin(QProcess& p, const QTemporaryDir& config, const QStringList& args,
                          const QString& workDir, const QString& stateDir = {},
                          const QProcessEnvironment& extra = {},
                          Platform platform = Platform::Offscreen) {
  if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
  environment.insert(QStringLiteral("XDG_STATE_HOME"),
                     stateDir.isEmpty() ? config.path() : stateDir);
  environment.insert(extra);
  QStringList all = args;
  if (platform == Platform::Offscreen) {
    all = QStringList{"-platform", "offscreen"} + args;
  } else {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      environment.remove(QString::fromLatin1(name));
  }
  p.setProcessEnvironment(environment);
  p.start(QStringLiteral(VELMARIN_EXE), all);
}

// Runs velmarin as StartVelmarin does, with input on its standard input, until it ends.
inline Outcome RunVelmarin(const QStringList& args, const QString& workDir = {},
                           int timeoutMs = 60000, Platform platform = Platform::Offscreen,
                           const QByteArray& input = {}, const QString& stateDir = {}) {
  QProcess p;
  QTemporaryDir config;
  StartVelmarin(p, config, args, workDir, stateDir, {}, platform);
  Outcome o;
  if (!p.waitForStarted(timeoutMs)) return o;
  if (!input.isEmpty()) p.write(input);
  p.closeWriteChannel();
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return o;
  }
  o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  o.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  o.err = QString::fromLocal8Bit(p.readAllStandardError());
  return o;
}

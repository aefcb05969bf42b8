// SPDX-License-Identifier: GPL-3.0-or-later
// The built program, started as a player would start it.
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

// Starts the program with DISPLAY set to `display` (unset when empty) and no
// other way to a screen, and checks that it fails with one line.
void expectOneLineFailure(const QString& display)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    if (!display.isEmpty())
        env.insert("DISPLAY", display);
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(CIFRELLE_PROGRAM), {});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QString err = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(err.startsWith("cifrelle: ")) << err.toStdString();
    EXPECT_TRUE(err.endsWith('\n'));
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
}

TEST(Program, WithoutADisplayItSaysSoInOneLineAndFails)
{
    expectOneLineFailure(QString());
}

TEST(Program, WithADisplayThatDoesNotAnswerItSaysSoInOneLineAndFails)
{
    expectOneLineFailure(QStringLiteral(":987"));
}

} // namespace

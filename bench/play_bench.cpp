// SPDX-License-Identifier: GPL-3.0-or-later
// Plays the game in the real window (offscreen) and measures:
//  - one right-answer check, from the Enter key in the answer box through the
//    whole set-up of the next exercise: median and 99th percentile;
//  - one wrong-answer check (the key with one digit more: as a rule a
//    mistake of no kind but "altro", which every kind is tried for): the
//    same;
//  - the resident memory after the first 100 answers and after all of them.
// Usage: play_bench [ANSWERS]   (default 30000; one in four is wrong)
#include "gamesession.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[i];
}

} // namespace

int main(int argc, char** argv)
{
    using namespace cifrelle;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int answers = argc > 1 ? std::atoi(argv[1]) : 30000;

    QApplication application(argc, argv);
    QTemporaryDir data;
    app::GameSession session(data.path().toStdString());
    session.ui.setEndAction([] {});
    ui::Form1Window& window = session.window;
    const game::Form1& form = session.form;
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(50);       // the activation sets up the first exercise
    window.timer()->stop(); // the clock plays no part here

    auto* box = static_cast<QLineEdit*>(window.control(ui::Control::txtmio));
    auto* key = static_cast<QLineEdit*>(window.control(ui::Control::Text1));
    std::vector<double> rightMicros;
    std::vector<double> wrongMicros;
    rightMicros.reserve(static_cast<std::size_t>(answers));
    wrongMicros.reserve(static_cast<std::size_t>(answers));
    long rssAt100 = 0;
    for (int i = 1; i <= answers; ++i) {
        const bool right = i % 4 != 0;
        box->setText(right ? key->text() : key->text() + QStringLiteral("9"));
        const auto start = std::chrono::steady_clock::now();
        QTest::keyClick(box, Qt::Key_Return);
        const auto stop = std::chrono::steady_clock::now();
        (right ? rightMicros : wrongMicros)
            .push_back(std::chrono::duration<double, std::micro>(stop - start).count());
        QCoreApplication::processEvents(); // paint as a player would see it
        if (i == 100)
            rssAt100 = residentKiB();
    }
    const long rssAtEnd = residentKiB();
    if (form.esatte() + form.sbagliate() != std::min(answers, 32767 * 2)) {
        std::fprintf(stderr, "the counts do not add up: %d + %d\n", form.esatte(),
                     form.sbagliate());
        return 1;
    }

    std::printf(
        "right-answer check with the next exercise's set-up, %zu runs in the real window:\n",
        rightMicros.size());
    std::printf(
        "  median %.1f us, 99th percentile %.1f us, max %.1f us (target: p99 under 1000 us)\n",
        percentile(rightMicros, 0.5), percentile(rightMicros, 0.99), percentile(rightMicros, 1.0));
    std::printf("wrong-answer check, %zu runs: median %.1f us, 99th percentile %.1f us, max %.1f "
                "us\n",
                wrongMicros.size(), percentile(wrongMicros, 0.5), percentile(wrongMicros, 0.99),
                percentile(wrongMicros, 1.0));
    std::printf("resident memory: %ld KiB after 100 answers, %ld KiB after %d answers "
                "(growth %ld KiB; target: under 1024 KiB)\n",
                rssAt100, rssAtEnd, answers, rssAtEnd - rssAt100);
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The suites without windows link no Qt Widgets: they get a core application, or a GUI one
// where they paint (fonts come from the platform).
#if __has_include(<QApplication>)
#include <QApplication>
using TestApplication = QApplication;
#elif __has_include(<QGuiApplication>)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

// Every suite runs headless unless the caller chose a platform, and with a home of its own:
// what the program keeps (the last request code handed out) and what a child process keeps
// never reaches the user's own files.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QTemporaryDir home;
    if (!home.isValid()) {
        return EXIT_FAILURE;
    }
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        qputenv(name, QFile::encodeName(home.path() + QLatin1Char('/') + QLatin1String(name)));
    }
    // In this process the standard folders are Qt's test folders inside that home as well.
    QStandardPaths::setTestModeEnabled(true);
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

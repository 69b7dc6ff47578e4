#include "app/subMain.h"

#include "app/frmRs232SetCmd.h"

#include <QApplication>
#include <QComboBox>

#include <cstdio>
#include <cstdlib>

namespace zelcor {

Application::Application(const Options& options) {
    m_main = std::make_unique<frmRs232SetCmd>(
        Platform{m_clock, m_port, m_boxes, [this] { endProgram(); }});
    if (!options.port.isEmpty()) {
        m_main->cmbComSelect->setEditText(options.port);
    }
}

Application::~Application() = default;

int Application::run() {
    if (m_ended) {
        return 0;
    }
    m_main->show();
    return QApplication::exec();
}

void Application::endProgram() {
    m_ended = true;
    if (m_clock.waitDepth() > 0) {
        // "End" pressed while an exchange or a delay waits: unwinding those handlers would
        // go on talking to the instrument, so the program stops here, as it promised.
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(0);
    }
    QCoreApplication::exit(0);
}

int Main(int argc, char** argv) {
    // The command line is read before any window system is needed, so --help works anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const Options options = ParseCommandLine(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "zelcor: %s\n%s", qPrintable(options.error), qPrintable(HelpText()));
        return 2;
    }
    if (options.showHelp) {
        std::fputs(qPrintable(HelpText()), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelcor"));
    Application zelcor(options);
    return zelcor.run();
}

} // namespace zelcor

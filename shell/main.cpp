// quorl-collector: the windowed site-survey collector.

#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "shell/QuorlCollectorTabletApp.h"

int main(int argc, char** argv) {
    // Before the windowing system starts, so that it works without a display.
    if (quorl::AsksForVersion(argc, argv)) {
        std::printf("quorl-collector %s\n", QUORL_VERSION);
        return 0;
    }
    if (quorl::AsksForHelp(argc, argv)) {
        std::fputs(quorl::CommandLineUsage("quorl-collector").c_str(), stdout);
        return 0;
    }
    QApplication application(argc, argv);
    std::vector<std::string> arguments;
    const QStringList qtArguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < qtArguments.size(); ++i) arguments.push_back(qtArguments[i].toStdString());

    quorl::CQuorlCollectorTabletApp app;
    std::string error;
    if (!app.InitInstance(arguments, error)) {
        std::fprintf(stderr, "quorl-collector: %s\n%s", error.c_str(),
                     quorl::CommandLineUsage("quorl-collector").c_str());
        return 2;
    }
    return app.Run();
}

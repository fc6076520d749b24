// velmora: the record windows, their reception and the commands of the clinic's workstation.

#include "app/main_frame.h"
#include "app/velmora_app.h"
#include "config/ini.h"
#include "widgets/balloon_help.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // Answered before the application object exists: it needs no display.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velmora %s\n", VELMORA_VERSION);
            return 0;
        }
    }
    CvelmoraApp app(argc, argv);
    const QStringList args = CvelmoraApp::arguments();
    QStringList files;
    QString settingsProblem;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config") && i + 1 < args.size()) {
            // A settings file that cannot be read is said at once; the windows keep their
            // defaults.
            SetIniFileOverride(args[++i]);
            CheckSettingsFile(args[i], &settingsProblem);
        } else if (args[i].startsWith(QLatin1Char('-')) && args[i] != QLatin1String("--")) {
            std::fprintf(stderr, "usage: velmora [--config INI] [--version] [FILE...]\n");
            return 1;
        } else if (args[i] != QLatin1String("--")) {
            files << args[i]; // a record file to open, each in a window of its own
        }
    }
    if (!app.InitInstance())
        return 1;
    if (!settingsProblem.isEmpty())
        ShowErrorBalloon(settingsProblem,
                         app.MainFrame()->mapToGlobal(app.MainFrame()->rect().center()));
    app.MainFrame()->OpenFiles(files);
    const int code = CvelmoraApp::exec();
    app.ExitInstance();
    return code;
}

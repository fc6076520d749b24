// velmora: the record windows, their reception and the commands of the clinic's workstation.

#include "app/main_frame.h"
#include "app/velmora_app.h"
#include "config/ini.h"

#include <cstdio>

int main(int argc, char** argv) {
    CvelmoraApp app(argc, argv);
    const QStringList args = CvelmoraApp::arguments();
    QStringList files;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config") && i + 1 < args.size()) {
            SetIniFileOverride(args[++i]);
        } else if (args[i].startsWith(QLatin1Char('-')) && args[i] != QLatin1String("--")) {
            std::fprintf(stderr, "usage: velmora [--config INI] [FILE...]\n");
            return 1;
        } else if (args[i] != QLatin1String("--")) {
            files << args[i]; // a record file to open, each in a window of its own
        }
    }
    if (!app.InitInstance())
        return 1;
    app.MainFrame()->OpenFiles(files);
    const int code = CvelmoraApp::exec();
    app.ExitInstance();
    return code;
}

// velmora: the record windows, their reception and the commands of the clinic's workstation.

#include "app/velmora_app.h"
#include "config/ini.h"

#include <cstdio>

int main(int argc, char** argv) {
    CvelmoraApp app(argc, argv);
    const QStringList args = CvelmoraApp::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config") && i + 1 < args.size()) {
            SetIniFileOverride(args[++i]);
        } else {
            std::fprintf(stderr, "usage: velmora [--config INI]\n");
            return 1;
        }
    }
    if (!app.InitInstance())
        return 1;
    const int code = CvelmoraApp::exec();
    app.ExitInstance();
    return code;
}

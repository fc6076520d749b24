// velmora-cli ports: the COM numbers and the serial devices of this machine.

#include "acquisition/com_map.h"
#include "cli/commands.h"

#include <QSerialPortInfo>
#include <cstdio>

int RunPorts(const QStringList& args) {
    if (!args.isEmpty()) {
        std::fputs("usage: velmora-cli ports\n\nLists the COM numbers (COM<n> and the device they "
                   "stand for) and the serial devices found.\n",
                   args.first() == QLatin1String("--help") ? stdout : stderr);
        return args.first() == QLatin1String("--help") ? 0 : 1;
    }
    CComMap map;
    for (const auto& [n, path] : map.Entries())
        std::printf("COM%d %s\n", n, path.c_str());
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const std::string path = info.systemLocation().toStdString();
        const int n = map.NumberOf(path);
        std::printf(
            "device %s %s%s%s%s\n", path.c_str(), n ? ("COM" + std::to_string(n)).c_str() : "-",
            info.description().isEmpty() ? "" : " ", info.description().toLocal8Bit().constData(),
            info.manufacturer().isEmpty()
                ? ""
                : (" (" + info.manufacturer().toStdString() + ")").c_str());
    }
    return 0;
}

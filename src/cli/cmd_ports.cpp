// velmora-cli ports: the serial ports of this machine under their COM numbers.

#include "acquisition/enum_com_port.h"
#include "cli/commands.h"
#include "platform/printable_text.h"

#include <cstdio>

int RunPorts(const QStringList& args) {
    if (!args.isEmpty()) {
        const bool help = args.first() == QLatin1String("--help");
        std::fputs("usage: velmora-cli ports\n\nLists the serial ports, one per line: the COM "
                   "number, the device and its name. A device seen for the first time gets the "
                   "lowest free COM number and keeps it.\n",
                   help ? stdout : stderr);
        return help ? 0 : 1;
    }
    std::vector<SSerInfo> ports;
    CEnumComPort::EnumSerialPorts(ports, false);
    for (const SSerInfo& p : ports)
        std::printf("%s %s %s%s\n", PrintableName(p.m_szPortName).c_str(),
                    PrintableName(p.m_szDevicePath).c_str(),
                    PrintableName(p.m_szFriendlyName).c_str(), p.m_bUsbDevice ? " [USB]" : "");
    return 0;
}

#include "acquisition/enum_com_port.h"

#include "acquisition/com_map.h"
#include "acquisition/serial_com.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <map>
#include <strings.h>
#include <unistd.h>

bool CSortStringArray::CompareAndSwap(size_t i) {
    std::string& a = (*this)[i];
    std::string& b = (*this)[i + 1];
    if (strcasecmp(a.c_str(), b.c_str()) > 0) {
        std::swap(a, b);
        return true;
    }
    return false;
}

void CSortStringArray::Sort() {
    bool swapped = true;
    while (swapped && size() > 1) {
        swapped = false;
        for (size_t i = 0; i + 1 < size(); ++i)
            swapped |= CompareAndSwap(i);
    }
}

void CompleteSerInfo(SSerInfo& info) {
    if (info.m_szFriendlyName.empty())
        info.m_szFriendlyName = info.m_szPortName;
    const std::string& friendly = info.m_szFriendlyName;
    if (info.m_szPortName.empty()) {
        // "Communications Port (COM1)" -> "COM1": the part between the first " (" and the ")".
        const size_t open = friendly.find(" (");
        if (open != std::string::npos) {
            const size_t close = friendly.find(')', open + 2);
            if (close != std::string::npos) {
                const size_t n = close - (open + 1);
                info.m_szPortName = friendly.substr(friendly.size() - n, n - 1);
            }
        }
    }
    if (info.m_szDescription.empty()) {
        info.m_szDescription = friendly;
        const size_t close = friendly.find(')');
        const size_t open = friendly.find(" (");
        if (close != std::string::npos && close + 1 == friendly.size() &&
            open != std::string::npos && open > 0)
            info.m_szDescription = friendly.substr(0, open);
    }
}

void CEnumComPort::EnumSerialPorts(std::vector<SSerInfo>& ports, bool bIgnoreBusyPorts,
                                   CComMap* map) {
    ports.clear();
    CComMap userMap;
    CComMap& comMap = map ? *map : userMap;

    std::map<std::string, SSerInfo> byName;
    auto add = [&](const std::string& path, std::string description, bool usb) {
        const int n = comMap.Assign(path);
        if (n <= 0)
            return;
        SSerInfo info;
        info.m_szDevicePath = path;
        info.m_szPortName = "COM" + std::to_string(n);
        info.m_bUsbDevice = usb;
        if (!description.empty())
            info.m_szFriendlyName = description + " (" + info.m_szPortName + ")";
        byName[info.m_szPortName] = info;
    };
    for (const QSerialPortInfo& p : QSerialPortInfo::availablePorts()) {
        std::string description = p.description().toStdString();
        if (!p.manufacturer().isEmpty() && p.manufacturer() != p.description())
            description += (description.empty() ? "" : ", ") + p.manufacturer().toStdString();
        add(p.systemLocation().toStdString(), description,
            p.hasVendorIdentifier() && p.hasProductIdentifier());
    }
    // Devices only the map knows, such as a simulator's pseudo-terminal.
    for (const auto& [n, path] : comMap.Entries())
        if (!byName.count("COM" + std::to_string(n)) && ::access(path.c_str(), F_OK) == 0)
            add(path, std::string(), false);

    CSortStringArray names;
    for (const auto& entry : byName)
        names.push_back(entry.first);
    names.Sort();
    for (const std::string& name : names) {
        SSerInfo info = byName[name];
        if (bIgnoreBusyPorts) {
            CSerialCom probe;
            if (probe.OpenDevice(info.m_szDevicePath, false) < 0)
                continue; // held by another program (or unusable)
        }
        CompleteSerInfo(info);
        ports.push_back(info);
    }
}

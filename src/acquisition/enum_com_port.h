#pragma once
// The serial ports of this machine, each under its COM number: the serial devices Qt finds
// (ttyS, ttyUSB, ttyACM, rfcomm) and the other devices the COM map holds (a simulator's
// pseudo-terminal), in the case-insensitive text order of their port names (COM1, COM10, COM2).

#include <string>
#include <vector>

class CComMap;

struct SSerInfo {
    std::string m_szDevicePath;   // what to open: /dev/ttyUSB0
    std::string m_szPortName;     // COM7
    std::string m_szFriendlyName; // USB Serial Port (COM7)
    bool m_bUsbDevice = false;
    std::string m_szDescription; // USB Serial Port
};

// A string array that sorts by neighbour swaps.
class CSortStringArray : public std::vector<std::string> {
public:
    using std::vector<std::string>::vector;
    // Swaps elements i and i + 1 when the first is greater, letter case ignored; true if swapped.
    bool CompareAndSwap(size_t i);
    // Passes of CompareAndSwap over all neighbours until one swaps nothing.
    void Sort();
};

// Fills the empty names of a record from the others: the friendly name from the port name, the
// port name from a friendly name ending in "(COMn)", the description from the friendly name
// without that part.
void CompleteSerInfo(SSerInfo& info);

class CEnumComPort {
public:
    virtual ~CEnumComPort() = default;
    // Clears ports and fills it; with bIgnoreBusyPorts, ports another program holds are left out.
    // Devices seen for the first time get the lowest free COM number of the map (the per-user
    // map when map is null).
    static void EnumSerialPorts(std::vector<SSerInfo>& ports, bool bIgnoreBusyPorts,
                                CComMap* map = nullptr);
};

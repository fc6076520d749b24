#pragma once
// COM numbers for serial devices. The settings keep a port as a number (COMn); this per-user map
// turns the number into a device path. Numbers are sticky once given: /dev/ttyS<k> is always
// COM<k+1>; any other device (USB, Bluetooth, a pseudo-terminal) is registered under a number
// and keeps it. The map lives in the per-user profile, group "ComMap", keys "COM<n>".

#include <map>
#include <string>

class QSettings;

class CComMap {
public:
    // The per-user profile (QSettings organisation "velmora", application "velmora").
    CComMap();
    // A map kept in the given settings object (tests, --config); not owned.
    explicit CComMap(QSettings* settings);
    ~CComMap();
    CComMap(const CComMap&) = delete;
    CComMap& operator=(const CComMap&) = delete;

    // The device path of COM<n>: the registered path, else /dev/ttyS<n-1>; empty for n < 1.
    std::string DevicePath(int n) const;
    // Records path under COM<n>, replacing what was there. False for n < 1 or an empty path.
    bool Register(int n, const std::string& path);
    // Removes the registration of COM<n>.
    void Unregister(int n);
    // The number registered for path (or the ttyS number it implies), 0 when none.
    int NumberOf(const std::string& path) const;
    // The number of path, registering it under the lowest free number above the ttyS range
    // in use when it has none yet.
    int Assign(const std::string& path);
    // Every registration, by number.
    std::map<int, std::string> Entries() const;

private:
    QSettings* m_pSettings;
    bool m_bOwned;
};

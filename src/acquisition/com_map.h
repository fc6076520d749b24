#pragma once
// COM numbers for serial devices. The settings keep a port as a number (COMn); this per-user map
// turns the number into a device path. Numbers are sticky once given: /dev/ttyS<k> is always
// COM<k+1>; any other device (USB, Bluetooth, a pseudo-terminal) is registered under a number
// and keeps it. The map lives in the per-user profile, group "ComMap", keys "COM<n>".
// Every write is synced at once and every read first picks up changes made by other processes
// (the simulator registering its pseudo-terminal while a receiver runs).

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
    // Records path under COM<n>, replacing what was there. A path registered under another
    // number moves to n, so that a device never has two numbers. False for n < 1 or an empty
    // path.
    bool Register(int n, const std::string& path);
    // Removes the registration of COM<n>.
    void Unregister(int n);
    // The number registered for path (or the ttyS number it implies), 0 when none. A registered
    // path that leads to the same device node (a by-id link, say) counts as the same path.
    int NumberOf(const std::string& path) const;
    // The number of path, registering it when it has none yet under the lowest number that is
    // neither registered nor implied by an existing /dev/ttyS<k>. The stable
    // /dev/serial/by-id/ link of the device is recorded instead of path when there is one.
    // 0 for an empty path or when the registration cannot be written.
    int Assign(const std::string& path);
    // Every registration, by number.
    std::map<int, std::string> Entries() const;

    // The folder that holds the device nodes, "/dev" unless changed (a sandbox or a test may
    // stand a folder of its own in for it).
    void SetDeviceDir(const std::string& dir);

private:
    std::string RegisteredPath(int n) const;
    bool TtySExists(int n) const;
    std::string StablePath(const std::string& path) const;

    QSettings* m_pSettings;
    bool m_bOwned;
    std::string m_strDevDir = "/dev";
};

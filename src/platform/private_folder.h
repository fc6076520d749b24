#pragma once
// A private temporary folder for one operation: made fresh with mode 0700 (other users can
// neither read the patient's files nor plant links under fixed names), removed with everything
// in it when the object goes. Every temporary file of the program lives in one of these.

#include <string>

class CPrivateFolder {
public:
    // Makes <root>/<prefix>-XXXXXX; an empty root is the user's temporary folder ($TMPDIR, or
    // /tmp). IsValid() tells whether that worked.
    explicit CPrivateFolder(const std::string& prefix = "velmora", std::string root = {});
    ~CPrivateFolder();
    CPrivateFolder(const CPrivateFolder&) = delete;
    CPrivateFolder& operator=(const CPrivateFolder&) = delete;

    bool IsValid() const { return !m_strPath.empty(); }
    const std::string& Path() const { return m_strPath; }
    std::string FilePath(const std::string& name) const { return m_strPath + "/" + name; }
    // Why the folder could not be made (names the parent folder and the system's reason).
    const std::string& ErrorText() const { return m_strError; }
    int Error() const { return m_nError; }

    // The folder stays when the object goes; the caller removes it.
    std::string Release();

    // The user's temporary folder: $TMPDIR when set, else /tmp.
    static std::string TempRoot();

private:
    std::string m_strPath;
    std::string m_strError;
    int m_nError = 0;
};

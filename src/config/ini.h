#pragma once
// CIni: one key of the settings file at a time. The file holds Windows-1251 bytes; texts cross
// into QString here. SerGet* read or write by a direction flag, so that one list of keys serves
// both loading and saving.
//
// The settings file is velmora.ini beside the executable; where that folder is not writable (an
// installed program) it is velmora/velmora.ini in the user's configuration folder. A
// process-wide override (the programs' --config option) replaces both.

#include <QString>

// Makes path the settings file of the process (a relative path is taken from the current folder
// now); an empty path removes the override.
void SetIniFileOverride(const QString& strPath);
// The override, empty when none is set.
// The text encoding of a settings file: UTF-8 when the file is valid UTF-8 with a character
// beyond ASCII or a byte order mark (what a Linux editor writes), otherwise Windows-1251 (and so
// for a file that does not exist yet). Values are read and written back in that encoding.
enum class IniEncoding { Cp1251, Utf8 };
IniEncoding IniFileEncoding(const QString& strFile);

// Whether the settings file a user named (--config) can be read as one: it exists, is a regular
// file, opens, and is text (no zero bytes, at most 1 MiB). False with "cannot read the settings
// file X: reason" in *error.
bool CheckSettingsFile(const QString& strPath, QString* error);

QString IniFileOverride();

// The settings file for an executable in strExeDir when no override is set.
QString DefaultIniFileFor(const QString& strExeDir);

class CIni {
public:
    // An empty file name means GetDefaultIniFile; a relative one is taken from the executable's
    // folder when bModulPath is set. An empty section means GetDefaultSection.
    CIni(const QString& strFileName = QString(), const QString& strSection = QString(),
         int bModulPath = 1);
    virtual ~CIni();

    // The settings file (see above); with bModulPath clear, the bare file name.
    static QString GetDefaultIniFile(int bModulPath = 1);
    // The application's name.
    static QString GetDefaultSection();
    // strPath, prefixed with the executable's folder when bModulPath is set and it is relative.
    static QString AddModulPath(const QString& strPath, int bModulPath = 1);
    // One value of a file, at most 255 bytes; strDefault when missing.
    static QString Read(const QString& strFile, const QString& strSection, const QString& strKey,
                        const QString& strDefault);

    // In every call below an empty section means the current one, and a given section becomes
    // the current one.

    // Reads strKey into m_szBuffer (the file's bytes, at most 255) and returns it.
    const char* GetLPCSTR(const QString& strKey, const QString& strSection = QString(),
                          const QString& strDefault = QString());
    QString GetString(const QString& strKey, const QString& strDefault = QString(),
                      const QString& strSection = QString());
    // The value as a decimal number (leading blanks, a sign, the leading digits; 0 when it is
    // no number); nDefault when the key is missing.
    int GetInt(const QString& strKey, int nDefault, const QString& strSection = QString());

    // Write one value; false when it could not be stored or strValue has characters
    // Windows-1251 lacks (they are stored as '?'). LastError() tells why.
    bool WriteString(const QString& strKey, const QString& strValue,
                     const QString& strSection = QString());
    bool WriteInt(const QString& strKey, int nValue, const QString& strSection = QString());

    // bGet true reads strKey into the variable (the default when missing, always true); false
    // writes the variable's value.
    bool SerGetString(bool bGet, QString& strVar, const QString& strKey,
                      const QString& strSection = QString(), const QString& strDefault = QString());
    bool SerGetInt(bool bGet, int& nVar, const QString& strKey,
                   const QString& strSection = QString(), int nDefault = 0);
    bool SerGet(bool bGet, QString& strVar, const QString& strKey,
                const QString& strSection = QString(), const QString& strDefault = QString()) {
        return SerGetString(bGet, strVar, strKey, strSection, strDefault);
    }
    bool SerGet(bool bGet, int& nVar, const QString& strKey, const QString& strSection = QString(),
                int nDefault = 0) {
        return SerGetInt(bGet, nVar, strKey, strSection, nDefault);
    }

    void SetSection(const QString& strSection) { m_strSection = strSection; }
    const QString& GetSection() const { return m_strSection; }
    const QString& GetFileName() const { return m_strFileName; }
    // Why the last failed write failed.
    const QString& LastError() const { return m_strLastError; }

private:
    const QString& UseSection(const QString& strSection);

    int m_bModulPath;
    char m_szBuffer[256];
    IniEncoding m_eEncoding = IniEncoding::Cp1251; // of the file, as the last read found it
    QString m_strFileName;
    QString m_strSection;
    QString m_strLastError;
};

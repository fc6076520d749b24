#pragma once
// The export package: one zip archive (proposed extension ".ecg") holding "structure.txt" (a
// fixed text describing the record layout), "patient.ini" (the record definition block) and the
// record block itself as the data file, in that order.

#include "record_model/ecg_record.h"
#include "storage/record_definition.h"

#include <string>
#include <string_view>

class CZipper;

class CExportImportFile {
public:
    // The three files are written in a private folder (mode 0700) made under tempRoot for each
    // export; an empty tempRoot means the user's temporary folder ($TMPDIR or /tmp).
    explicit CExportImportFile(std::string tempRoot = {});

    // Writes the package to archivePath, replacing a file there only when the package is
    // complete. True on success; false leaves an existing file untouched, no partial archive
    // and no temporary file, with LastError()/LastErrorText() telling what failed and why.
    // The definition and the record's source and notes are taken as they stand: call
    // ParseRecordDefinition first.
    bool ExportRecord(const RECORD_DEFINITION& def, const ECG_RECORD& record,
                      const std::string& archivePath);

    int LastError() const { return m_nError; }
    const std::string& LastErrorText() const { return m_strError; }

    // "structure.txt": 780 bytes of Windows-1251 text, CR LF line ends, a zero byte at the end.
    static std::string_view StructureText();

    // The data file's name: record_id (signed decimal), "_", the record's date text, ".DAT",
    // with every ':' made an 'x' ("0_2012-05-04 14x05x00.DAT").
    static std::string DataFileName(const ECG_RECORD& record);

    static constexpr const char* kStructureName = "structure.txt";
    static constexpr const char* kPatientName = "patient.ini";

private:
    bool Fail(int err, const std::string& what);
    bool TakeError(const CZipper& zip);
    bool WriteTempFile(const std::string& path, const void* data, size_t size);

    int m_hFile = -1; // the temporary file being written
    std::string m_strTempDir;
    int m_nError = 0;
    std::string m_strError;
};

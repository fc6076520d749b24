#pragma once
// How the records layer hands the interchange helper the statements a DICOM object carries, so
// that the object says what the window shows (its filters, its rate practice, or the doctor's
// confirmed reading) and the helper needs no analysis of its own for them. One block after the
// record and card on the helper's standard input:
//
//   velmora-statements 1 <bytes of the lines that follow>
//   confirmed 1                      a doctor's confirmed reading (absent: automatic)
//   made 2026-12-09 10:15:00         when they were made or confirmed
//   heading Подтверждено: ...        what they stand under
//   physician Петрова А. И.
//   amended <reason>
//   statement <text>                 one line each, in order
//   conclusion <text>
//
// Texts are UTF-8 on one line each: a backslash, a line feed and a carriage return inside one are
// written as \\, \n and \r. The reader is a parser of outside input: a block that is cut,
// malformed or names a key it does not know is refused.

#include "storage/scp_export.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

std::string WriteStatementsBlock(const CFileStatements& statements);

// The printed report a store sends beside the ECG, after the statements block:
//   velmora-report-pdf <bytes>\n<the PDF's bytes>
std::string WriteReportPdfBlock(const uint8_t* pdf, size_t size);
// Reads the block at the start of data (*used its length); false with *error when it is not a
// whole block holding a PDF.
bool ReadReportPdfBlock(const uint8_t* data, size_t size, std::vector<uint8_t>& pdf, size_t* used,
                        std::string* error);

// Reads the block at the start of data; *used is its length. False with *error when data does
// not start with a whole, well-formed block.
bool ReadStatementsBlock(const uint8_t* data, size_t size, CFileStatements& statements,
                         size_t* used, std::string* error);

#pragma once
// The command line's side of the modality worklist: the `worklist` command, and --accession
// (with --worklist) on the commands that write a record, which binds the record to that entry.

#include "record_io/record_worklist.h"

#include <QString>

class COptions;

// Where the worklist is: --worklist [AET@]HOST:PORT over the settings' server, --aet (when
// `aetOption`) or the AET@ part the server's AE title. 0 when ready, else the exit code after a
// message.
int WorklistServerFromOptions(const char* command, const COptions& opts, const char* aetOption,
                              CWorklistServer* server);

// --accession NUMBER: the worklist entry of that number, queried from the server (any day).
// -1 without --accession (*entry untouched); 0 when found; else the exit code after a message
// (2 for an order the worklist does not have or a server that fails, 1 for bad usage), and
// nothing may be written.
int FindOrderedEntry(const char* command, const COptions& opts, CWorklistEntry* entry);

// The help lines of the options the writing commands share (a literal, to join their usage).
#define VELMORA_ORDER_OPTIONS_HELP                                                                 \
    "  --accession NUMBER bind the record to the worklist entry of that accession number: the\n"   \
    "                   entry's patient fills the card (names, identifier, date of birth, sex)\n"  \
    "                   and a DICOM object carries the order (its Study Instance UID,\n"           \
    "                   Accession Number and Request Attributes); no such entry: nothing is\n"     \
    "                   written (exit code 2)\n"                                                   \
    "  --worklist [AET@]HOST:PORT the worklist server, when the settings' [PACS]\n"                \
    "                   m_szWorklistHost names none (AE title: m_szWorklistAETitle)\n"

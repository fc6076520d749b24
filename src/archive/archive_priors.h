#pragma once
// The patient's earlier ECGs fetched from the PACS (record_io/record_priors) into the archive:
// each object through the normal import of a .dcm file, kept under its instance's file name, so
// that PreviousRecord finds it beside the records made here, and a second fetch adds nothing.

#include "archive/archive_store.h"
#include "record_io/record_priors.h"

#include <atomic>

// What FetchPriors hands the fetched files to: ImportFiles into `archive` (the next files read
// while one is written). Fails at a file the archive refuses, naming it.
PriorImport ArchivePriorImport(CArchive& archive, const std::atomic<bool>* cancel = nullptr);

// FetchPriors of the studies into the archive.
bool FetchPriorsIntoArchive(const CViewSettings& pacs, const QStringList& studyUids,
                            CArchive& archive, CFetchedPriors* fetched, std::string* error,
                            const std::atomic<bool>* cancel = nullptr);

// Writes SCP-ECG files of synthetic records into a folder for the independent reader
// (scp_reader_test.py), each beside its record block (<name>.record, the 112552 bytes):
//   twelve.scp  lead system 1, the full card, device K.107.18641.5752
//   neb.scp     lead system 2, a card without address, device 0
//   slopak.scp  lead system 3, a card without address, a device number with bit 31 set
// The age is counted in June 2012.

#include "scp_test_data.h"

#include <QFile>
#include <cstdio>
#include <string>

using namespace scp_test;

namespace {

bool Write(const std::string& folder, const char* name, int nLeadSystem, uint64_t device_id,
           const PATIENT_CARD& card) {
    const auto rec = MakeRecord(nLeadSystem, device_id);
    const SYSTEMTIME now = MakeTime(2012, 6, 1, 9, 0, 0);
    const std::string base = folder + "/" + name;
    const ScpSaveResult r = SaveScp(*rec, card, MakeDevice(nLeadSystem), base + ".scp", &now);
    if (!r.bOk) {
        std::fprintf(stderr, "scp_sample_writer: %s\n", r.strError.c_str());
        return false;
    }
    QFile raw(QFile::decodeName((base + ".record").c_str()));
    if (!raw.open(QIODevice::WriteOnly) ||
        raw.write(reinterpret_cast<const char*>(rec.get()), sizeof(ECG_RECORD)) !=
            qint64(sizeof(ECG_RECORD))) {
        std::fprintf(stderr, "scp_sample_writer: cannot write %s.record\n", base.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: scp_sample_writer FOLDER\n", stderr);
        return 1;
    }
    const std::string folder = argv[1];
    const bool ok =
        Write(folder, "twelve", 1, DeviceId(0x12345678u, 7), MakeFullCard()) &&
        Write(folder, "neb", 2, 0, MakeCardWithoutAddress()) &&
        Write(folder, "slopak", 3, DeviceId(0x80004001u, 255), MakeCardWithoutAddress());
    return ok ? 0 : 2;
}

#include "storage/scp_signal.h"

#include "record_model/lead_vocabulary.h"
#include "storage/scp_file.h"

#include <algorithm>
#include <cmath>
#include <span>

// Every count, length and code below comes from a file that may be hostile: each is checked
// against the bytes that hold it before it is used, and what is allocated is bounded by
// kMostSamples per lead, whatever a header claims.

namespace {

using Body = std::span<const uint8_t>;

constexpr size_t kLargestFile = size_t(16) << 20;
constexpr uint32_t kMostSamples = uint32_t(1) << 20; // per lead: 17 minutes at 1 kHz
constexpr size_t kMostValues = size_t(1) << 24;      // all leads together
constexpr uint16_t kDefaultTable = 19999;            // Section 2's count for the default table

uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
std::string Num(uint64_t v) {
    return std::to_string(v);
}

// Each step gives back the reason it refuses the file, empty when it has none. Reasons that
// start with this mark are codings this reader does not take, not faults.
constexpr char kUnsupported = '\x01';

std::string Unsupported(const std::string& why) {
    return kUnsupported + why;
}

// ---- The sections ----

struct CSections {
    std::vector<uint8_t> file;
    std::vector<ScpSectionPointer> table;
    std::string Find(uint16_t id, Body& body) const {
        return ScpSectionBody(file, table, id, body);
    }
};

std::string Open(const uint8_t* data, size_t size, CSections& s) {
    if (size > kLargestFile)
        return "not an SCP-ECG record: the file is far larger than one";
    s.file.assign(data, data + size);
    std::string why;
    if (!ReadScpSectionTable(s.file, s.table, &why))
        return "not an SCP-ECG file: " + why;
    return ScpSectionsFault(s.file, s.table, false);
}

// ---- Section 2: Huffman tables ----

struct CCode {
    uint8_t nPrefixBits = 0;
    uint8_t nTotalBits = 0;
    bool bSwitch = false; // the code switches to table nBase instead of giving a value
    int16_t nBase = 0;
    uint32_t nPrefix = 0; // the prefix as it comes in the stream, first bit highest
};
struct CTable {
    std::vector<CCode> codes; // by prefix length, shortest first
    // For prefixes of at most kLookupBits: the code of every value of the next nLookupBits
    // bits (-1: none), so that a code is found in one step.
    std::vector<int16_t> lookup;
    unsigned nLookupBits = 0;
};
constexpr unsigned kLookupBits = 12;

// Orders the codes and builds the lookup; the shortest code that matches wins, as it does in a
// scan of the codes.
void Index(CTable& t) {
    std::stable_sort(t.codes.begin(), t.codes.end(),
                     [](const CCode& a, const CCode& b) { return a.nPrefixBits < b.nPrefixBits; });
    t.nLookupBits = t.codes.back().nPrefixBits;
    if (t.nLookupBits > kLookupBits || t.codes.size() > size_t(INT16_MAX))
        return;
    t.lookup.assign(size_t(1) << t.nLookupBits, -1);
    for (size_t c = 0; c < t.codes.size(); ++c) {
        const unsigned free = t.nLookupBits - t.codes[c].nPrefixBits;
        const size_t first = size_t(t.codes[c].nPrefix) << free;
        for (size_t i = first; i < first + (size_t(1) << free); ++i)
            if (t.lookup[i] < 0)
                t.lookup[i] = int16_t(c);
    }
}

// The default table: 0 for 0, then +1 -1 ... +8 -8 with codes 1 bit longer in pairs, and two
// escapes that carry the value as 8 or 16 bits.
CTable DefaultTable() {
    CTable table;
    std::vector<CCode>& t = table.codes;
    t.push_back({1, 1, false, 0, 0});
    for (int v = 1; v <= 8; ++v) {
        // A run of v ones, a zero, then the sign bit: 3 bits for ±1 up to 10 for ±8.
        const uint8_t bits = uint8_t(v + 2);
        const uint32_t ones = (uint32_t(1) << (bits - 2)) - 1;
        t.push_back({bits, bits, false, int16_t(v), ones << 2});
        t.push_back({bits, bits, false, int16_t(-v), ones << 2 | 1});
    }
    t.push_back({10, 18, false, 0, 0x3FE});
    t.push_back({10, 26, false, 0, 0x3FF});
    Index(table);
    return table;
}

uint32_t Reversed(uint32_t code, unsigned bits) {
    uint32_t out = 0;
    for (unsigned i = 0; i < bits; ++i)
        out = out << 1 | (code >> i & 1);
    return out;
}

// Section 2: the table count, then per table its code count and 9 bytes per code (prefix bits,
// total bits, mode, base value, base code with its first bit lowest).
std::string ReadTables(Body s2, std::vector<CTable>& tables) {
    if (s2.size() < 2)
        return "section 2 (the Huffman tables) is too short";
    const uint16_t count = Get16(&s2[0]);
    if (count == kDefaultTable) {
        tables = {DefaultTable()};
        return {};
    }
    if (count == 0)
        return "section 2 holds no Huffman table";
    tables.clear();
    size_t at = 2;
    for (unsigned t = 0; t < count; ++t) {
        if (s2.size() - at < 2)
            return "section 2's Huffman table " + Num(t + 1) + " runs past the section";
        const uint16_t codes = Get16(&s2[at]);
        at += 2;
        if (codes == 0)
            return "section 2's Huffman table " + Num(t + 1) + " has no code";
        if ((s2.size() - at) / 9 < codes)
            return "section 2's Huffman table " + Num(t + 1) + " runs past the section";
        CTable table;
        for (unsigned c = 0; c < codes; ++c, at += 9) {
            CCode code;
            code.nPrefixBits = s2[at];
            code.nTotalBits = s2[at + 1];
            code.bSwitch = s2[at + 2] == 0;
            code.nBase = int16_t(Get16(&s2[at + 3]));
            if (code.nPrefixBits < 1 || code.nPrefixBits > 32 ||
                code.nTotalBits < code.nPrefixBits || code.nTotalBits - code.nPrefixBits > 32)
                return "section 2's Huffman table " + Num(t + 1) + " has a code of " +
                       Num(code.nPrefixBits) + " prefix and " + Num(code.nTotalBits) +
                       " total bits";
            if (code.bSwitch && (code.nBase < 1 || code.nBase > int(count)))
                return "section 2's Huffman table " + Num(t + 1) + " switches to table " +
                       std::to_string(code.nBase) + ", which it does not have";
            code.nPrefix = Reversed(Get32(&s2[at + 5]), code.nPrefixBits);
            table.codes.push_back(code);
        }
        Index(table);
        tables.push_back(std::move(table));
    }
    return {};
}

class CBits {
public:
    explicit CBits(Body bytes) : m_Bytes(bytes), m_nSize(uint64_t(bytes.size()) * 8) {}
    uint64_t Left() const { return m_nSize - m_nAt; }
    // The next n bits (1 <= n <= 32), first bit highest; bits past the end read as zeros.
    uint32_t Peek(unsigned n) const {
        const size_t byte = size_t(m_nAt >> 3);
        uint64_t v = 0;
        for (size_t i = byte; i < byte + 5; ++i)
            v = v << 8 | (i < m_Bytes.size() ? m_Bytes[i] : 0u);
        return uint32_t(v >> (40 - unsigned(m_nAt & 7) - n) & ((uint64_t(1) << n) - 1));
    }
    void Skip(unsigned n) { m_nAt += n; }

private:
    Body m_Bytes;
    uint64_t m_nSize;
    uint64_t m_nAt = 0;
};

// `count` values of one lead's Huffman stream, each lead starting with the first table.
std::string DecodeHuffman(Body stream, const std::vector<CTable>& tables, uint32_t count,
                          std::vector<int64_t>& out, const std::string& what) {
    CBits bits(stream);
    if (bits.Left() < count) // every value takes a bit at least
        return what + "'s Huffman stream runs out: " + Num(bits.Left()) + " bits for " +
               Num(count) + " samples";
    out.resize(count);
    const CTable* table = &tables.front();
    for (uint32_t i = 0; i < count;) {
        const CCode* found = nullptr;
        if (!table->lookup.empty()) {
            const int16_t c = table->lookup[bits.Peek(table->nLookupBits)];
            if (c >= 0 && table->codes[size_t(c)].nPrefixBits <= bits.Left())
                found = &table->codes[size_t(c)];
        } else
            for (const CCode& c : table->codes) {
                if (c.nPrefixBits > bits.Left())
                    break;
                if (bits.Peek(c.nPrefixBits) == c.nPrefix) {
                    found = &c;
                    break;
                }
            }
        if (!found) {
            if (bits.Left() < table->codes.back().nPrefixBits)
                return what + "'s Huffman stream runs out after " + Num(i) + " of " + Num(count) +
                       " samples";
            return what + "'s Huffman stream has a code its table does not hold, at sample " +
                   Num(i);
        }
        bits.Skip(found->nPrefixBits);
        if (found->bSwitch) {
            table = &tables[size_t(found->nBase - 1)];
            continue;
        }
        const unsigned extra = unsigned(found->nTotalBits - found->nPrefixBits);
        if (extra == 0) {
            out[i++] = found->nBase;
            continue;
        }
        if (bits.Left() < extra)
            return what + "'s Huffman stream runs out after " + Num(i) + " of " + Num(count) +
                   " samples";
        // The value itself, two's complement in `extra` bits.
        const uint32_t raw = bits.Peek(extra);
        bits.Skip(extra);
        const int64_t sign = int64_t(1) << (extra - 1);
        out[i++] = (int64_t(raw) ^ sign) - sign;
    }
    return {};
}

// 16-bit samples as they are, when the file has no Section 2.
void DecodePlain(Body stream, uint32_t count, std::vector<int64_t>& out) {
    out.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        out[i] = int16_t(Get16(&stream[2 * size_t(i)]));
}

// First or second differences back into samples. Unsigned arithmetic: a hostile stream may
// overflow, and then gives nonsense, never undefined behaviour.
void Undifference(std::vector<int64_t>& v, uint8_t order) {
    if (order == 1) {
        for (size_t i = 1; i < v.size(); ++i)
            v[i] = int64_t(uint64_t(v[i]) + uint64_t(v[i - 1]));
    } else if (order == 2) {
        for (size_t i = 2; i < v.size(); ++i)
            v[i] = int64_t(uint64_t(v[i]) + 2 * uint64_t(v[i - 1]) - uint64_t(v[i - 2]));
    }
}

// ---- Sections 3 and 4 ----

struct CLead {
    uint16_t nCode = 0;
    int64_t nStart = 0; // sample number of its first sample
    uint32_t nCount = 0;
};

struct CLeads {
    bool bReferenceSubtracted = false;
    std::vector<CLead> leads;
};

std::string ReadLeads(Body s3, CLeads& out) {
    if (s3.size() < 2)
        return "section 3 (the leads) is too short";
    const unsigned count = s3[0];
    out.bReferenceSubtracted = s3[1] & 0x01;
    if (count == 0 || 2 + size_t(count) * 9 > s3.size())
        return "section 3's lead count (" + Num(count) + ") does not fit the section";
    for (unsigned k = 0; k < count; ++k) {
        const uint8_t* p = &s3[2 + k * 9];
        const uint32_t start = Get32(p), end = Get32(p + 4);
        if (end < start)
            return "section 3 gives lead " + Num(k + 1) + " an invalid sample range";
        if (end - start >= kMostSamples)
            return "section 3 gives lead " + Num(k + 1) + " " + Num(uint64_t(end) - start + 1) +
                   " samples, more than " + Num(kMostSamples);
        out.leads.push_back(CLead{p[8], start, end - start + 1});
    }
    return {};
}

struct CBeat {
    uint16_t nType = 0;
    int64_t nStart = 0, nFiducial = 0, nEnd = 0;
};
struct CZone {
    int64_t nStart = 0, nEnd = 0;
};
struct CQrs {
    uint16_t nReferenceMs = 0; // length of the reference beat
    uint16_t nFiducial = 0;    // its fiducial point, a sample number in the reference beat
    std::vector<CBeat> beats;
    std::vector<CZone> zones; // protected zones, empty when the section has none
};

// Section 4: reference beat length and fiducial, the QRS count, 14 bytes per QRS (type, start,
// fiducial, end), then 8 per QRS for the protected zones (start, end), which may be left out.
std::string ReadQrs(Body s4, CQrs& q) {
    if (s4.size() < 6)
        return "section 4 (the QRS locations) is too short";
    q.nReferenceMs = Get16(&s4[0]);
    q.nFiducial = Get16(&s4[2]);
    const size_t count = Get16(&s4[4]);
    if ((s4.size() - 6) / 14 < count)
        return "section 4's " + Num(count) + " QRS complexes run past the section";
    for (size_t k = 0; k < count; ++k) {
        const uint8_t* p = &s4[6 + 14 * k];
        q.beats.push_back({Get16(p), Get32(p + 2), Get32(p + 6), Get32(p + 10)});
    }
    const size_t zonesAt = 6 + 14 * count;
    if ((s4.size() - zonesAt) / 8 >= count)
        for (size_t k = 0; k < count; ++k) {
            const uint8_t* p = &s4[zonesAt + 8 * k];
            if (Get32(p + 4) >= Get32(p))
                q.zones.push_back({Get32(p), Get32(p + 4)});
        }
    std::sort(q.zones.begin(), q.zones.end(),
              [](const CZone& a, const CZone& b) { return a.nStart < b.nStart; });
    return {};
}

// ---- Sections 5 and 6 ----

struct CCoded {
    uint16_t nNanovolts = 0;
    uint16_t nMicroseconds = 0;
    uint8_t nDifference = 0;
    bool bBimodal = false;
    std::vector<Body> leads;
};

std::string ReadCoded(Body s, size_t leads, const char* name, CCoded& c) {
    const std::string section = name;
    const size_t dataStart = 6 + 2 * leads;
    if (s.size() < dataStart)
        return section + " is too short for its " + Num(leads) + " leads";
    c.nNanovolts = Get16(&s[0]);
    c.nMicroseconds = Get16(&s[2]);
    c.nDifference = s[4];
    c.bBimodal = s[5] == 1;
    if (c.nNanovolts == 0)
        return section + " gives no amplitude value (0 nV per unit)";
    if (c.nMicroseconds == 0)
        return section + " gives no sample interval";
    if (c.nDifference > 2)
        return section + " gives an unknown difference coding (" + Num(c.nDifference) + ")";
    size_t at = dataStart;
    for (size_t k = 0; k < leads; ++k) {
        const size_t bytes = Get16(&s[6 + 2 * k]);
        if (bytes > s.size() - at)
            return section + "'s lead " + Num(k + 1) + " runs past the section";
        c.leads.push_back(s.subspan(at, bytes));
        at += bytes;
    }
    return {};
}

// One lead's values from its stream: Huffman when the file has tables, else 16 bits each.
std::string DecodeLead(Body stream, const std::vector<CTable>& tables, uint32_t count,
                       uint8_t difference, std::vector<int64_t>& out, const std::string& what) {
    std::string why;
    if (tables.empty()) {
        if (stream.size() / 2 < count)
            return what + " holds " + Num(stream.size() / 2) + " 16-bit samples, not " + Num(count);
        DecodePlain(stream, count, out);
    } else if (why = DecodeHuffman(stream, tables, count, out, what); !why.empty())
        return why;
    Undifference(out, difference);
    return {};
}

// Bimodal compression: inside the protected zones every sample is kept, outside one value
// stands for up to `factor` samples (their mean). The stored values are placed at the middle of
// what they stand for, and every sample is interpolated between its two neighbouring places, so
// that a kept sample comes back exactly.
struct CSpan {
    double dMiddle;
    int64_t nLast;
};

std::vector<CSpan> BimodalSpans(int64_t first, uint32_t count, const std::vector<CZone>& zones,
                                unsigned factor) {
    std::vector<CSpan> spans;
    const int64_t last = first + int64_t(count) - 1;
    size_t z = 0;
    for (int64_t at = first; at <= last;) {
        while (z < zones.size() && zones[z].nEnd < at)
            ++z;
        const bool inside = z < zones.size() && zones[z].nStart <= at;
        int64_t end = at;
        if (!inside) {
            end = std::min(at + int64_t(factor) - 1, last);
            if (z < zones.size())
                end = std::min(end, zones[z].nStart - 1);
        }
        spans.push_back({double(at + end) / 2, end});
        at = end + 1;
    }
    return spans;
}

std::vector<int64_t> Expand(const std::vector<CSpan>& spans, const std::vector<int64_t>& stored,
                            int64_t first, uint32_t count) {
    std::vector<int64_t> out(count);
    size_t s = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const double at = double(first + int64_t(i));
        while (s + 1 < spans.size() && spans[s + 1].dMiddle <= at)
            ++s;
        if (at <= spans[s].dMiddle || s + 1 == spans.size()) {
            out[i] = stored[s];
            continue;
        }
        const double w = (at - spans[s].dMiddle) / (spans[s + 1].dMiddle - spans[s].dMiddle);
        out[i] = int64_t(std::llround(double(stored[s]) * (1 - w) + double(stored[s + 1]) * w));
    }
    return out;
}

std::string LeadName(uint16_t code) {
    const CLeadEntry* lead = LeadOfScpCode(code);
    return lead ? lead->m_szLabel : "SCP lead " + Num(code);
}

std::string ReadSignal(const uint8_t* data, size_t size, CEcgSignal& signal) {
    std::string why;
    CSections file;
    if (why = Open(data, size, file); !why.empty())
        return why;
    Body s2, s3, s4, s5, s6;
    for (auto [id, body] :
         {std::pair<uint16_t, Body*>{2, &s2}, {3, &s3}, {4, &s4}, {5, &s5}, {6, &s6}})
        if (why = file.Find(id, *body); !why.empty())
            return why;
    if (s3.empty())
        return "not an SCP-ECG record: section 3 is missing";
    if (s6.empty())
        return "not an SCP-ECG record: section 6 is missing";
    CLeads leads;
    if (why = ReadLeads(s3, leads); !why.empty())
        return why;
    const size_t n = leads.leads.size();
    std::vector<CTable> tables; // none: 16-bit samples as they are
    if (!s2.empty() && !(why = ReadTables(s2, tables)).empty())
        return why;
    CCoded rhythm;
    if (why = ReadCoded(s6, n, "section 6", rhythm); !why.empty())
        return why;

    const bool needsQrs = leads.bReferenceSubtracted || rhythm.bBimodal;
    CQrs qrs;
    CCoded reference;
    if (needsQrs) {
        if (s4.empty())
            return std::string("section 3 says ") +
                   (rhythm.bBimodal ? "bimodal compression" : "reference beat subtraction") +
                   " is used, but section 4 (the QRS locations) is missing";
        if (why = ReadQrs(s4, qrs); !why.empty())
            return why;
        if (s5.empty())
            return "the rhythm needs the reference beat, but section 5 is missing";
        if (why = ReadCoded(s5, n, "section 5", reference); !why.empty())
            return why;
    }

    // The rhythm's own interval, and the one of the signal it gives back.
    unsigned factor = 1;
    uint16_t interval = rhythm.nMicroseconds;
    if (rhythm.bBimodal) {
        if (rhythm.nMicroseconds % reference.nMicroseconds != 0 ||
            rhythm.nMicroseconds / reference.nMicroseconds > 4)
            return Unsupported("bimodal compression from " + Num(reference.nMicroseconds) + " to " +
                               Num(rhythm.nMicroseconds) + " µs is no factor of 1 to 4");
        factor = rhythm.nMicroseconds / reference.nMicroseconds;
        interval = reference.nMicroseconds;
        if (qrs.zones.empty())
            return "section 6 uses bimodal compression, but section 4 has no protected zones";
    }
    if (leads.bReferenceSubtracted && reference.nMicroseconds != interval)
        return Unsupported("the reference beat's sample interval (" + Num(reference.nMicroseconds) +
                           " µs) differs from the rhythm's (" + Num(interval) + " µs)");

    // What each lead holds: a writer without Huffman coding may count one sample more than it
    // stores (0 to N).
    std::vector<uint32_t> counts;
    for (size_t k = 0; k < n; ++k) {
        uint32_t count = leads.leads[k].nCount;
        if (tables.empty() && !rhythm.bBimodal)
            count = std::min<uint32_t>(count, uint32_t(rhythm.leads[k].size() / 2));
        if (count == 0)
            return "section 6 holds no sample of lead " + Num(k + 1);
        counts.push_back(count);
    }
    // Every lead on one time line, from the first sample number of any lead.
    int64_t first = INT64_MAX, last = INT64_MIN;
    for (size_t k = 0; k < n; ++k) {
        first = std::min(first, leads.leads[k].nStart);
        last = std::max(last, leads.leads[k].nStart + int64_t(counts[k]) - 1);
    }
    if (uint64_t(last - first) >= kMostSamples)
        return "section 3's leads span more than " + Num(kMostSamples) + " samples";
    const size_t length = size_t(last - first + 1);
    if (length * n > kMostValues)
        return "section 3's " + Num(n) + " leads of " + Num(length) + " samples hold more than " +
               Num(kMostValues) + " samples in all";

    signal = CEcgSignal{};
    signal.dRate = 1e6 / interval;
    std::vector<int64_t> values, beat;
    const uint32_t beatCount = uint32_t(uint64_t(qrs.nReferenceMs) * 1000 / interval);
    for (size_t k = 0; k < n; ++k) {
        const CLead& lead = leads.leads[k];
        const std::string what = "lead " + Num(k + 1);
        const uint32_t count = counts[k];
        if (rhythm.bBimodal) {
            const std::vector<CSpan> spans = BimodalSpans(lead.nStart, count, qrs.zones, factor);
            if (why = DecodeLead(rhythm.leads[k], tables, uint32_t(spans.size()),
                                 rhythm.nDifference, values, "section 6's " + what);
                !why.empty())
                return why;
            values = Expand(spans, values, lead.nStart, count);
        } else if (why = DecodeLead(rhythm.leads[k], tables, count, rhythm.nDifference, values,
                                    "section 6's " + what);
                   !why.empty())
            return why;
        if (leads.bReferenceSubtracted) {
            if (why = DecodeLead(reference.leads[k], tables, beatCount, reference.nDifference, beat,
                                 "section 5's " + what);
                !why.empty())
                return why;
            // The reference beat in the rhythm's units, laid on at each subtracted beat's
            // fiducial point. Beats come one after the other, as a writer finds them: the work
            // stays that of one pass over the lead, whatever Section 4 says.
            const double scale = double(reference.nNanovolts) / rhythm.nNanovolts;
            int64_t previousEnd = INT64_MIN;
            for (size_t q = 0; q < qrs.beats.size(); ++q) {
                const CBeat& b = qrs.beats[q];
                if (b.nType != 0 || b.nEnd < b.nStart)
                    continue;
                if (b.nStart <= previousEnd)
                    return "section 4's QRS " + Num(q + 1) + " overlaps the one before it";
                previousEnd = b.nEnd;
                // The beat's sample i lies at its fiducial point + i - (the beat's own fiducial).
                const int64_t beatAt = b.nFiducial - (int64_t(qrs.nFiducial) - 1);
                const int64_t from = std::max({b.nStart, lead.nStart, beatAt});
                const int64_t to = std::min(
                    {b.nEnd, lead.nStart + int64_t(count) - 1, beatAt + int64_t(beat.size()) - 1});
                for (int64_t at = from; at <= to; ++at)
                    values[size_t(at - lead.nStart)] +=
                        int64_t(std::llround(double(beat[size_t(at - beatAt)]) * scale));
            }
        }
        std::vector<float> uv(length, 0.f);
        const double microvolts = rhythm.nNanovolts / 1000.0;
        for (uint32_t i = 0; i < count; ++i)
            uv[size_t(lead.nStart - first) + i] = float(double(values[i]) * microvolts);
        signal.names.push_back(LeadName(lead.nCode));
        signal.leads.push_back(std::move(uv));
        signal.present.push_back(true);
    }
    DeriveLimbLeads(signal);
    return {};
}

// ---- Sections 7 and 10 ----

int Signed(const uint8_t* p) {
    return int16_t(Get16(p));
}

std::string ReadGlobal(Body s7, CScpMeasurements& m) {
    if (s7.size() < 6)
        return "section 7 (the global measurements) is too short";
    const size_t blocks = s7[0], spikes = s7[1];
    CScpGlobalMeasurements& g = m.m_Global;
    g.m_nRrMs = Get16(&s7[2]);
    g.m_nPpMs = Get16(&s7[4]);
    m.m_bGlobal = true;
    if ((s7.size() - 6) / 16 < blocks)
        return "section 7's " + Num(blocks) + " measurement blocks run past the section";
    if (blocks > 0) {
        const uint8_t* p = &s7[6];
        g.m_nPOnset = Get16(p);
        g.m_nPOffset = Get16(p + 2);
        g.m_nQrsOnset = Get16(p + 4);
        g.m_nQrsOffset = Get16(p + 6);
        g.m_nTOffset = Get16(p + 8);
        g.m_nPAxis = Signed(p + 10);
        g.m_nQrsAxis = Signed(p + 12);
        g.m_nTAxis = Signed(p + 14);
    }
    // Then the pacemaker spikes (4 bytes, then 6 more each), the QRS types (a count and a byte
    // each) and the rates and QTc; older writers stop before them.
    size_t at = 6 + 16 * blocks + 10 * spikes;
    if (at + 2 > s7.size())
        return {};
    at += 2 + size_t(Get16(&s7[at]));
    if (at + 6 > s7.size())
        return {};
    g.m_nVentricularRate = Get16(&s7[at]);
    g.m_nQtc = Get16(&s7[at + 4]);
    return {};
}

std::string ReadPerLead(Body s10, CScpMeasurements& m) {
    if (s10.size() < 4)
        return "section 10 (the lead measurements) is too short";
    const size_t count = Get16(&s10[0]);
    size_t at = 4;
    for (size_t k = 0; k < count; ++k) {
        if (s10.size() - at < 4)
            return "section 10's lead " + Num(k + 1) + " runs past the section";
        const size_t bytes = Get16(&s10[at + 2]);
        if (s10.size() - at - 4 < bytes)
            return "section 10's lead " + Num(k + 1) + " runs past the section";
        const uint8_t* p = &s10[at + 4];
        const auto value = [&](size_t index) {
            return 2 * index + 2 <= bytes ? Signed(p + 2 * index) : kScpNotMeasured;
        };
        CScpLeadMeasurements lead;
        lead.m_nLeadCode = Get16(&s10[at]);
        lead.m_nPDuration = value(0);
        lead.m_nPrInterval = value(1);
        lead.m_nQrsDuration = value(2);
        lead.m_nQtInterval = value(3);
        lead.m_nRAmplitude = value(10);
        lead.m_nSAmplitude = value(11);
        m.m_Leads.push_back(lead);
        at += 4 + bytes;
    }
    return {};
}

} // namespace

bool ReadScpSignal(const uint8_t* data, size_t size, CEcgSignal& signal, std::string* error,
                   bool* pUnsupported) {
    std::string why = ReadSignal(data, size, signal);
    if (pUnsupported)
        *pUnsupported = !why.empty() && why.front() == kUnsupported;
    if (why.empty())
        return true;
    signal = CEcgSignal{};
    if (why.front() == kUnsupported)
        why.erase(0, 1);
    if (error)
        *error = why;
    return false;
}

namespace {

std::string ReadMeasurements(const uint8_t* data, size_t size, CScpMeasurements& m) {
    std::string why;
    CSections file;
    if (why = Open(data, size, file); !why.empty())
        return why;
    Body s7, s10;
    if (why = file.Find(7, s7); !why.empty())
        return why;
    if (why = file.Find(10, s10); !why.empty())
        return why;
    if (!s7.empty() && !(why = ReadGlobal(s7, m)).empty())
        return why;
    if (!s10.empty() && !(why = ReadPerLead(s10, m)).empty())
        return why;
    return {};
}

} // namespace

bool ReadScpMeasurements(const uint8_t* data, size_t size, CScpMeasurements& measurements,
                         std::string* error) {
    measurements = CScpMeasurements{};
    const std::string why = ReadMeasurements(data, size, measurements);
    if (!why.empty() && error)
        *error = why;
    return why.empty();
}

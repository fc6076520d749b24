#pragma once
// SCP-ECG files as carts write them, made from known samples: the section frame with its CRCs,
// Huffman coding by the default table or by tables of the caller's, first and second
// differences, the leads of Section 3 and the coded Sections 5 and 6. For the tests, the fuzzer's
// structured inputs and the benchmark.

#include "storage/scp_file.h"

#include <cstdint>
#include <map>
#include <vector>

namespace scp_coded {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
inline void Set16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// A whole file of the given section contents (without their headers); Section 0's table lists
// sections 0 to 11, the absent ones empty. Every CRC and length is right.
inline Bytes BuildFile(const std::map<uint16_t, Bytes>& sections, uint8_t version = 20) {
    auto header = [&](Bytes& b, uint16_t id, size_t contentSize) {
        Put16(b, 0); // CRC, set below
        Put16(b, id);
        Put32(b, uint32_t(16 + contentSize + contentSize % 2));
        b.push_back(version);
        b.push_back(version);
        for (char c : {'S', 'C', 'P', 'E', 'C', 'G'})
            b.push_back(uint8_t(c));
    };
    constexpr uint16_t kIds = 12;
    const size_t s0Size = 16 + 10 * kIds;
    Bytes file(6, 0);
    const size_t s0At = file.size();
    header(file, 0, 10 * kIds);
    size_t at = 6 + s0Size; // where the next section goes
    std::vector<size_t> where;
    for (uint16_t id = 0; id < kIds; ++id) {
        Put16(file, id);
        if (id == 0) {
            Put32(file, uint32_t(s0Size));
            Put32(file, uint32_t(s0At + 1));
            continue;
        }
        const auto it = sections.find(id);
        if (it == sections.end()) {
            Put32(file, 0);
            Put32(file, 0);
            continue;
        }
        const size_t length = 16 + it->second.size() + it->second.size() % 2;
        Put32(file, uint32_t(length));
        Put32(file, uint32_t(at + 1));
        at += length;
    }
    for (const auto& [id, content] : sections) {
        if (id == 0 || id >= kIds)
            continue;
        const size_t sectionAt = file.size();
        header(file, id, content.size());
        file.insert(file.end(), content.begin(), content.end());
        if (content.size() % 2)
            file.push_back(0);
        where.push_back(sectionAt);
    }
    where.push_back(s0At);
    for (size_t s : where) {
        const uint32_t length = uint32_t(file[s + 4] | file[s + 5] << 8 | file[s + 6] << 16 |
                                         uint32_t(file[s + 7]) << 24);
        Set16(&file[s], ScpCrc(&file[s + 2], length - 2));
    }
    for (int i = 0; i < 4; ++i)
        file[2 + size_t(i)] = uint8_t(file.size() >> (8 * i));
    Set16(file.data(), ScpCrc(file.data() + 2, file.size() - 2));
    return file;
}

class CBitWriter {
public:
    // The low n bits of `bits`, highest first.
    void Put(uint64_t bits, unsigned n) {
        for (unsigned i = n; i-- > 0;) {
            if (m_nBit == 0)
                m_Bytes.push_back(0);
            if (bits >> i & 1)
                m_Bytes.back() = uint8_t(m_Bytes.back() | 0x80 >> m_nBit);
            m_nBit = (m_nBit + 1) % 8;
        }
    }
    const Bytes& Get() const { return m_Bytes; }

private:
    Bytes m_Bytes;
    unsigned m_nBit = 0;
};

// The default table: 0 as "0", ±1..±8 as v ones, a zero and the sign, then the escapes
// 1111111110 + 8 bits and 1111111111 + 16 bits.
inline void PutDefault(CBitWriter& w, int v) {
    if (v == 0)
        return w.Put(0, 1);
    const int a = v < 0 ? -v : v;
    if (a <= 8)
        return w.Put((((uint64_t(1) << a) - 1) << 2) | (v < 0 ? 1 : 0), unsigned(a + 2));
    if (v >= -128 && v <= 127) {
        w.Put(0x3FE, 10);
        return w.Put(uint8_t(int8_t(v)), 8);
    }
    w.Put(0x3FF, 10);
    w.Put(uint16_t(int16_t(v)), 16);
}

inline Bytes DefaultCoded(const std::vector<int>& values) {
    CBitWriter w;
    for (int v : values)
        PutDefault(w, v);
    return w.Get();
}

// What a writer stores for `order` (0, 1 or 2): the first one or two samples as they are,
// then the differences.
inline std::vector<int> Differences(const std::vector<int>& x, int order) {
    std::vector<int> d(x);
    for (size_t i = 0; i < x.size(); ++i) {
        if (order == 1 && i >= 1)
            d[i] = x[i] - x[i - 1];
        else if (order == 2 && i >= 2)
            d[i] = x[i] - 2 * x[i - 1] + x[i - 2];
    }
    return d;
}

struct CLeadDef {
    uint8_t nCode;
    uint32_t nStart, nEnd;
};

inline Bytes Section3(const std::vector<CLeadDef>& leads, uint8_t flags) {
    Bytes b{uint8_t(leads.size()), flags};
    for (const CLeadDef& l : leads) {
        Put32(b, l.nStart);
        Put32(b, l.nEnd);
        b.push_back(l.nCode);
    }
    return b;
}

// Section 5 or 6: amplitude value, interval, difference order, bimodal flag, the streams.
inline Bytes CodedSection(uint16_t nanovolts, uint16_t microseconds, uint8_t difference,
                          uint8_t bimodal, const std::vector<Bytes>& streams) {
    Bytes b;
    Put16(b, nanovolts);
    Put16(b, microseconds);
    b.push_back(difference);
    b.push_back(bimodal);
    for (const Bytes& s : streams)
        Put16(b, uint16_t(s.size()));
    for (const Bytes& s : streams)
        b.insert(b.end(), s.begin(), s.end());
    return b;
}

inline Bytes DefaultTableSection() {
    Bytes b;
    Put16(b, 19999);
    return b;
}

// Section 1 with what a record needs: the acquisition date and time and a surname.
inline Bytes MinimalSection1() {
    Bytes b{0, 6, 0, 'S', 'm', 'i', 't', 'h', 0};
    b.insert(b.end(), {25, 4, 0});
    Put16(b, 2005);
    b.insert(b.end(), {3, 14});
    b.insert(b.end(), {26, 3, 0, 10, 20, 30});
    b.insert(b.end(), {255, 0, 0});
    return b;
}

} // namespace scp_coded
